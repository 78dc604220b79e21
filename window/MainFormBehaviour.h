#pragma once

// What every main window of the program shares, whichever toolkit draws it: which controls are
// enabled in which state, the source file check, the lines the window logs itself, the batching
// of detail lines and the caption during compaction. Plain C++, UTF-8 text.

#include "processing/MapProcessor.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlune {

inline constexpr char kOpenFilter[] = "Warcraft III Maps|*.w3m;*.w3x|"
                                      "Warcraft III Frozen Throne Maps|*.w3x|"
                                      "Warcraft III Reign of Chaos Maps|*.w3m";
inline constexpr char kRefusalText[] = "Only Warcraft III maps can be loaded!";
inline constexpr char kRefusalCaption[] = "Error";
// How long a detail line may wait for the next batch of the log.
inline constexpr int kLogBatchMs = 20;

// The window's caption, which is also the application title that captions the error box.
std::string ApplicationTitle();

// The extension of a file name as the source check compares it: from the last dot of the name
// part on, the dot included; empty when the name part has no dot. The name part is what follows
// the last backslash, colon or slash.
std::string FileExtension(std::string_view fileName);

// How the save dialog is set up for a source map: its filter and default extension.
struct SaveDialogSetting {
    std::string filter;
    std::string defaultExtension;
};

// The save dialog's setting for a source of that name; nothing when the name is no map's
// (the comparison is case-sensitive, so "Map.W3X" is refused).
std::optional<SaveDialogSetting> SaveSettingFor(std::string_view fileName);

// The description and pattern pairs of a filter written as description|pattern pairs separated
// by vertical bars.
std::vector<std::pair<std::string, std::string>> FilterPairs(std::string_view filter);

std::string SourceSelectedLine(const std::string& fileName);
std::string TargetSelectedLine(const std::string& fileName);

// The README that the log view shows at start: 33 lines separated by '\n', one paragraph a
// line, which the view wraps.
const std::string& ReadmeText();

// Whether each control that a run may not alter is enabled; About always is.
struct ControlStates {
    bool source = true;
    bool target = false;
    bool process = false;
    bool options = true; // Debug output and Do not compact

    bool operator==(const ControlStates&) const = default;
};

// Calls handler and hands the message of any failure it raises to failed. No toolkit lets an
// exception cross its event loop, so every handler of a window runs through here; a run has
// enabled its controls again by the time its failure arrives.
template <typename Handler, typename Failed> void RunHandler(Handler&& handler, Failed&& failed) {
    try {
        handler();
    } catch (const std::exception& failure) {
        failed(failure.what());
    }
}

// The state of the main window between the user's choices and the runs, and the log and the
// caption as a run changes them. The window applies what this returns to its controls.
class MainFormBehaviour {
public:
    const ControlStates& Controls() const { return controls; }
    // A source was accepted: Target waits for a choice, Process for the target.
    void SourceChosen();
    void TargetChosen();
    // The run's switch for the five controls.
    void EnableRunControls(bool enabled);

    void StartRun() { running = true; }
    bool Running() const { return running; }
    // Ends the run; true when the window was asked to close meanwhile and closes now.
    bool EndRun();
    // True when the window may close now; during a run the request is kept for its end.
    bool CloseRequested();

    // Takes one log line; returns the lines to show now, joined by '\n', or nothing while a
    // detail line waits for its batch (at most kLogBatchMs after the last lines shown).
    std::optional<std::string> AddLogLine(const std::string& text, LogLevel level);
    // The lines still waiting, joined by '\n'.
    std::optional<std::string> TakePendingLog();

    // The caption for the compaction's progress, when it changes ("Parlune 1.0.2 - compacting
    // 42%").
    std::optional<std::string> ProgressCaption(std::uint64_t done, std::uint64_t total);
    // The plain caption again, when the progress shows.
    std::optional<std::string> RestoredCaption();

private:
    ControlStates controls;
    bool running = false;
    bool closeAfterRun = false;
    int compactionPercent = -1;
    std::vector<std::string> pendingLog;
    std::optional<std::chrono::steady_clock::time_point> logShownAt;
};

} // namespace parlune
