// parlune-cli: inlines the trigger strings of a map from the command line.

#include "Version.h"
#include "cli/CliProcessor.h"
#include "processing/ProcessingError.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: parlune-cli [--debug] [--no-compact] SOURCE TARGET\n";
constexpr const char* kHelp =
    "Copies the text of every referenced trigger string into the map members that refer to\n"
    "it, drops the strings nobody needs any more and writes the result to TARGET (which may\n"
    "be SOURCE itself).\n\n"
    "  --debug       write detailed log lines\n"
    "  --no-compact  skip the final compaction of the new map\n"
    "  --help        show this text\n"
    "  --version     show the program's version\n";

enum ExitCode { kSuccess = 0, kRunFailed = 1, kBadArguments = 2 };

struct Options {
    bool help = false;
    bool version = false;
    bool debug = false;
    bool noCompact = false;
    std::vector<std::string> paths;
};

std::optional<Options> parseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help")
            options.help = true;
        else if (argument == "--version")
            options.version = true;
        else if (argument == "--debug")
            options.debug = true;
        else if (argument == "--no-compact")
            options.noCompact = true;
        else if (argument.empty() || argument.starts_with("--"))
            return std::nullopt;
        else
            options.paths.push_back(argument);
    }
    if (!options.help && !options.version && options.paths.size() != 2)
        return std::nullopt;
    return options;
}

int run(const Options& options) {
    parlune::CliProcessor processor(options.debug, options.noCompact);
    processor.SourcePath = options.paths[0];
    processor.TargetPath = options.paths[1];
    try {
        processor.Run();
    } catch (const std::exception& failure) {
        std::fputs((parlune::DisplayText(failure.what()) + "\n").c_str(), stderr);
        return kRunFailed;
    }
    return kSuccess;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parseArguments(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return kBadArguments;
    }
    if (options->help) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return kSuccess;
    }
    if (options->version) {
        std::printf("parlune-cli %s\n", parlune::kVersion);
        return kSuccess;
    }
    return run(*options);
}
