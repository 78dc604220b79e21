#pragma once

#include "ui/ModalRunner.h"

#include <QMessageBox>
#include <QString>

#include <deque>
#include <optional>
#include <vector>

namespace parlune {
class TMainForm;
}

namespace parlune::test {

// Answers the main window's dialogs without showing them: each file dialog takes the next
// prepared answer (a file name, or Cancel); each message box is recorded and dismissed. Any
// other dialog, the About box, is recorded and shown for real.
class ScriptedModals : public ModalRunner {
public:
    // What one dialog looked like when the window showed it.
    struct Shown {
        QString dialog; // the file dialog's object name, or "QMessageBox"
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool runControlsEnabled = false;
    };

    void AnswerFile(const QString& fileName) { answers.emplace_back(fileName); }
    // Accepts the file dialog with the file name it already holds.
    void AnswerAsIs() { answers.emplace_back(QString()); }
    void AnswerCancel() { answers.emplace_back(std::nullopt); }
    bool AllAnswered() const { return answers.empty(); }

    int Exec(QDialog& dialog) override;

    // The window whose run controls are recorded with every dialog.
    const TMainForm* window = nullptr;
    std::vector<Shown> shown;

private:
    std::deque<std::optional<QString>> answers;
};

} // namespace parlune::test
