#pragma once

// The main window's logic, whichever toolkit draws it: the run sequence, the enabling of the
// controls, the log and the caption during compaction, the choice of source and target. Each
// window implements the few primitives below with its own controls.

#include "processing/MapProcessor.h"
#include "window/MainFormBehaviour.h"

#include <functional>
#include <string>

namespace parlune {

class MainFormBase : public MapProcessor {
public:
    // Shows the line at the end of the log, then lets the window repaint and take input.
    void Log(const std::string& text) override;
    // As Log; a detail line may wait up to kLogBatchMs for the next batch.
    void LogAtLevel(LogLevel level, const std::string& text) override;
    void EnableRunControls(bool enabled) override;
    // Shows the progress in the caption and lets the window repaint.
    void CompactionProgress(std::uint64_t done, std::uint64_t total) override;

    // Takes fileName (UTF-8) as the source, as the open dialog or a drop hands it over. A name
    // that is no map's is refused with a box, and nothing changes; false then.
    bool TakeSource(const std::string& fileName);
    // Takes fileName (UTF-8), chosen in the save dialog, as the target.
    void TakeTarget(const std::string& fileName);
    // Runs from the source to the target. A request to close the window meanwhile is kept and
    // carried out once the run has ended, whichever way it ended.
    void ProcessButtonClick();
    // Runs the handler of a control; a failure shows in the error box.
    void Guarded(const std::function<void()>& handler);

    // Whether the window may close now; during a run the request waits for its end.
    bool MayClose() { return behaviour.CloseRequested(); }
    bool RunInProgress() const { return behaviour.Running(); }
    const ControlStates& Controls() const { return behaviour.Controls(); }

protected:
    // Appends lines ('\n' between them) to the log view and scrolls to the last.
    virtual void showLogLines(const std::string& lines) = 0;
    // Empties the log view and switches its word wrap off for good.
    virtual void clearLog() = 0;
    virtual void setCaption(const std::string& caption) = 0;
    // Enables the controls as states say; About is always enabled.
    virtual void applyControls(const ControlStates& states) = 0;
    // Handles every pending event or message, so the window repaints and takes input.
    virtual void processPendingEvents() = 0;
    // Shows a modal box with the error icon.
    virtual void showErrorBox(const std::string& caption, const std::string& text) = 0;
    // Sets the save dialog up for a source map: its filter, its default extension and the
    // source itself as the file name it proposes.
    virtual void prepareSaveDialog(const SaveDialogSetting& setting,
                                   const std::string& sourceFile) = 0;
    // Takes or refuses files dropped on the window; a run refuses them.
    virtual void acceptDrops(bool accept) { (void)accept; }
    virtual void closeWindow() = 0;

private:
    void appendLog(const std::string& text, LogLevel level);
    void showPendingLog();
    void restoreCaption();
    // Shows every line logged so far and the caption without the compaction's progress.
    void settleAfterRun();

    MainFormBehaviour behaviour;
};

} // namespace parlune
