#include "window/MainFormBehaviour.h"

#include "Version.h"

#include <algorithm>

namespace parlune {

std::string ApplicationTitle() {
    return kProgramTitle;
}

std::string FileExtension(std::string_view fileName) {
    const std::size_t separator = fileName.find_last_of("\\:/");
    const std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart)
        return std::string();
    return std::string(fileName.substr(dot));
}

std::optional<SaveDialogSetting> SaveSettingFor(std::string_view fileName) {
    const std::string extension = FileExtension(fileName);
    if (extension == ".w3m")
        return SaveDialogSetting{"Warcraft III Reign of Chaos Map|*.w3m", "w3m"};
    if (extension == ".w3x")
        return SaveDialogSetting{"Warcraft III Frozen Throne Map|*.w3x", "w3x"};
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> FilterPairs(std::string_view filter) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t bar = filter.find('|'); bar != std::string_view::npos;
         start = bar + 1, bar = filter.find('|', start))
        parts.emplace_back(filter.substr(start, bar - start));
    parts.emplace_back(filter.substr(start));
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        pairs.emplace_back(parts[i], parts[i + 1]);
    return pairs;
}

std::string SourceSelectedLine(const std::string& fileName) {
    return "Selected \"" + fileName + "\" as source file";
}

std::string TargetSelectedLine(const std::string& fileName) {
    return "Selected \"" + fileName + "\" as target file";
}

void MainFormBehaviour::SourceChosen() {
    controls.target = true;
    controls.process = false;
}

void MainFormBehaviour::TargetChosen() {
    controls.process = true;
}

void MainFormBehaviour::EnableRunControls(bool enabled) {
    controls = ControlStates{enabled, enabled, enabled, enabled};
}

bool MainFormBehaviour::EndRun() {
    running = false;
    return std::exchange(closeAfterRun, false);
}

bool MainFormBehaviour::CloseRequested() {
    closeAfterRun = running;
    return !running;
}

// The view spends far more on each append than on each line, and detail lines come by the
// thousand in quick succession; so they reach the view in batches at most kLogBatchMs apart.
// Every other line may stand before a long phase and shows at once, with the lines before it.
std::optional<std::string> MainFormBehaviour::AddLogLine(const std::string& text, LogLevel level) {
    pendingLog.push_back(text);
    const auto now = std::chrono::steady_clock::now();
    if (level == LogLevel::Detail && logShownAt &&
        now - *logShownAt < std::chrono::milliseconds(kLogBatchMs))
        return std::nullopt;
    return TakePendingLog();
}

std::optional<std::string> MainFormBehaviour::TakePendingLog() {
    if (pendingLog.empty())
        return std::nullopt;
    std::string joined = pendingLog.front();
    for (std::size_t i = 1; i < pendingLog.size(); ++i)
        joined += "\n" + pendingLog[i];
    pendingLog.clear();
    logShownAt = std::chrono::steady_clock::now();
    return joined;
}

std::optional<std::string> MainFormBehaviour::ProgressCaption(std::uint64_t done,
                                                              std::uint64_t total) {
    const int percent =
        total == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(done, total) * 100 / total);
    if (percent == compactionPercent)
        return std::nullopt;
    compactionPercent = percent;
    return ApplicationTitle() + " - compacting " + std::to_string(percent) + "%";
}

std::optional<std::string> MainFormBehaviour::RestoredCaption() {
    if (compactionPercent < 0)
        return std::nullopt;
    compactionPercent = -1;
    return ApplicationTitle();
}

} // namespace parlune
