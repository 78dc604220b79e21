#include "window/MainFormBase.h"

#include "processing/ProcessingError.h"

namespace parlune {

void MainFormBase::Log(const std::string& text) {
    appendLog(text, LogLevel::Step);
}

void MainFormBase::LogAtLevel(LogLevel level, const std::string& text) {
    appendLog(text, level);
}

void MainFormBase::appendLog(const std::string& text, LogLevel level) {
    restoreCaption();
    if (const auto lines = behaviour.AddLogLine(text, level))
        showLogLines(*lines);
    processPendingEvents();
}

void MainFormBase::showPendingLog() {
    if (const auto lines = behaviour.TakePendingLog())
        showLogLines(*lines);
}

void MainFormBase::restoreCaption() {
    if (const auto caption = behaviour.RestoredCaption())
        setCaption(*caption);
}

void MainFormBase::EnableRunControls(bool enabled) {
    behaviour.EnableRunControls(enabled);
    applyControls(behaviour.Controls());
}

void MainFormBase::CompactionProgress(std::uint64_t done, std::uint64_t total) {
    showPendingLog();
    if (const auto caption = behaviour.ProgressCaption(done, total))
        setCaption(*caption);
    processPendingEvents();
}

void MainFormBase::settleAfterRun() {
    showPendingLog();
    restoreCaption();
}

bool MainFormBase::TakeSource(const std::string& fileName) {
    const auto setting = SaveSettingFor(fileName);
    if (!setting) {
        showErrorBox(kRefusalCaption, kRefusalText);
        return false;
    }
    prepareSaveDialog(*setting, fileName);
    SourcePath = fileName;
    clearLog();
    Log(SourceSelectedLine(SourcePath));
    behaviour.SourceChosen();
    applyControls(behaviour.Controls());
    return true;
}

void MainFormBase::TakeTarget(const std::string& fileName) {
    TargetPath = fileName;
    Log(TargetSelectedLine(TargetPath));
    behaviour.TargetChosen();
    applyControls(behaviour.Controls());
}

void MainFormBase::ProcessButtonClick() {
    behaviour.StartRun();
    acceptDrops(false);
    Guarded([this] { Run(); });
    settleAfterRun();
    acceptDrops(true);
    if (behaviour.EndRun())
        closeWindow();
}

// A run has enabled its controls again by the time its failure arrives here.
void MainFormBase::Guarded(const std::function<void()>& handler) {
    RunHandler(handler, [this](const char* message) {
        settleAfterRun();
        showErrorBox(ApplicationTitle(), DisplayText(message));
    });
}

} // namespace parlune
