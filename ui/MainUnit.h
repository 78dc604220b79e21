#pragma once

#include "window/FormLayout.h"
#include "window/MainFormBase.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QCheckBox;
class QMimeData;
class QFileDialog;
class QPlainTextEdit;
class QPushButton;

namespace parlune {

class ModalRunner;
class TAboutForm;

// Qt's name filters for a filter written as description|pattern pairs separated by vertical
// bars, with several patterns of one pair separated by semicolons.
QStringList NameFilters(const QString& filter);

// The main window. It owns the run state and offers the processing operations as its own;
// its controls are public so that the tests and the screenshot tool drive the real window.
class TMainForm : public QWidget, public MainFormBase {
    Q_OBJECT

public:
    // The file dialogs and message boxes are shown through modals.
    explicit TMainForm(ModalRunner& modals, QWidget* parent = nullptr);
    ~TMainForm() override;

    bool Verbose() const override;
    bool NoCompact() const override;

    void SourceButtonClick();
    // Takes fileName as the source, as if it had been chosen in the Select Source dialog.
    void ChooseSource(const QString& fileName);
    // Takes the program's arguments after its name: nothing, or one map that the window
    // chooses as its source once it shows. False for more than one.
    bool OpenArguments(const QStringList& arguments);
    void TargetButtonClick();
    void AboutButtonClick();

    QPlainTextEdit* const LogMemo;
    QWidget* const ControlsPanel;
    QPushButton* const SourceButton;
    QPushButton* const TargetButton;
    QPushButton* const ProcessButton;
    QCheckBox* const VerboseCheck;
    QCheckBox* const NoCompactCheck;
    QPushButton* const AboutButton;
    QFileDialog* const OpenDialog;
    QFileDialog* const SaveDialog;
    TAboutForm* const AboutForm;

    static constexpr QSize kOuterSize{kFormWidth, kFormHeight};

protected:
    // The log view and the caption.
    void showLogLines(const std::string& lines) override;
    void clearLog() override;
    void setCaption(const std::string& caption) override;
    // Qt's own events: the size, closing, keys, drops.
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void closeWindow() override;
    void keyPressEvent(QKeyEvent* event) override;
    void processPendingEvents() override;
    // The controls and the boxes, shown through the ModalRunner.
    void applyControls(const ControlStates& states) override;
    void showErrorBox(const std::string& caption, const std::string& text) override;
    void prepareSaveDialog(const SaveDialogSetting& setting,
                           const std::string& sourceFile) override;
    // One file dropped while no run is in progress is chosen as the source; anything else
    // is refused, and the cursor shows it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void setUpControls();
    void setUpTabOrder();
    void setUpDialogs();
    void connectHandlers();
    void fitOuterSize();
    QAbstractButton* panelControl(PanelControlId id) const;
    // The one local file that a drag carries, when the window takes it now; empty otherwise.
    QString droppableFile(const QMimeData* data) const;

    ModalRunner& modals;
    bool startSizeFitted = false;
};

} // namespace parlune
