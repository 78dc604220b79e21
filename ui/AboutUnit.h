#pragma once

#include "window/FormLayout.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace parlune {

// The About box: the program's name and the credits on a white panel, and a Close button.
// The main window shows it modally, centred over itself.
class TAboutForm : public QDialog {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* parent = nullptr);

    void CloseButtonClick();

    QWidget* const AboutPanel;
    QLabel* const TitleLabel;
    QLabel* const AuthorLabel;
    QLabel* const LibraryLabel;
    QPushButton* const CloseButton;

    static constexpr QSize kClientSize{kAboutWidth, kAboutHeight};

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void setUpLabel(QLabel* label, const AboutLabel& layout);
};

} // namespace parlune
