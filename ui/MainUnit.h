#pragma once

#include "processing/MapProcessor.h"
#include "ui/MainFormBehaviour.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

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
class TMainForm : public QWidget, public MapProcessor {
    Q_OBJECT

public:
    // The file dialogs and message boxes are shown through modals.
    explicit TMainForm(ModalRunner& modals, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Appends text as the last line of the log view and scrolls to it, then handles every
    // pending event, so the window repaints and takes input between two lines of a run.
    void Log(const std::string& text) override;
    // As Log; a detail line may wait up to kLogBatchMs for the next batch.
    void LogAtLevel(LogLevel level, const std::string& text) override;
    void EnableRunControls(bool enabled) override;
    bool Verbose() const override;
    bool NoCompact() const override;
    // Shows the progress in the caption and keeps the window repainting.
    void CompactionProgress(std::uint64_t done, std::uint64_t total) override;

    void SourceButtonClick();
    // Takes fileName as the source, as if it had been chosen in the Select Source dialog.
    void ChooseSource(const QString& fileName);
    // Takes the program's arguments after its name: nothing, or one map that the window
    // chooses as its source once it shows. False for more than one.
    bool OpenArguments(const QStringList& arguments);
    void TargetButtonClick();
    // Runs from the source to the target. A request to close the window meanwhile is kept and
    // carried out once the run has ended, whichever way it ended.
    void ProcessButtonClick();
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

    static constexpr QSize kOuterSize{600, 400};
    static constexpr int kMargin = 8;
    static constexpr int kPanelHeight = 31;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
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
    void guarded(const std::function<void()>& handler);
    void showFailure(const std::string& message);
    void appendLog(const std::string& text, LogLevel level);
    void restoreCaption();
    void showLog(const std::optional<std::string>& lines);
    void applyControls();
    // Shows every line logged so far and the caption without the compaction's progress.
    void settleAfterRun();
    bool acceptSourceExtension(const QString& fileName);
    // The one local file that a drag carries, when the window takes it now; empty otherwise.
    QString droppableFile(const QMimeData* data) const;

    ModalRunner& modals;
    MainFormBehaviour behaviour;
    bool startSizeFitted = false;
};

} // namespace parlune
