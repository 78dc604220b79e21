#pragma once

// The command line's arguments.

#include <optional>
#include <string>
#include <vector>

namespace parlune {

enum ExitCode { kSuccess = 0, kRunFailed = 1, kBadArguments = 2, kCheckFailed = 3 };

struct Options {
    bool help = false;
    bool version = false;
    bool debug = false;
    bool noCompact = false;
    bool dryRun = false;
    bool check = false;
    // Where the report goes: a file, or "-" for standard output.
    std::optional<std::string> report;
    // With many maps: the folder each goes to, and how many run at once.
    std::optional<std::string> outDir;
    unsigned jobs = 0; // 0: one per core
    // A map with nothing to inline is copied to the target unchanged.
    bool copyUnchanged = false;
    std::vector<std::string> paths;
};

// The options, or nothing when the arguments do not fit the usage.
std::optional<Options> ParseArguments(const std::vector<std::string>& arguments);

extern const char* const kUsage;
extern const char* const kHelp;

} // namespace parlune
