// parlune-cli: inlines the trigger strings of a map from the command line.

#include "Version.h"
#include "cli/CliProcessor.h"
#include "cli/Console.h"
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

std::optional<Options> parseArguments(const std::vector<std::string>& arguments) {
    Options options;
    for (const std::string& argument : arguments) {
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
    } catch (const parlune::ProcessingError& failure) {
        std::fputs((parlune::DisplayText(parlune::TextWithDetail(failure)) + "\n").c_str(), stderr);
        return kRunFailed;
    } catch (const std::exception& failure) {
        std::fputs((parlune::DisplayText(failure.what()) + "\n").c_str(), stderr);
        return kRunFailed;
    }
    return kSuccess;
}

int runProgram(const std::vector<std::string>& arguments) {
    const parlune::console::OutputSetup output;
    const std::optional<Options> options = parseArguments(arguments);
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

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return runProgram(parlune::console::Utf8Arguments(argc, argv));
}
#else
int main(int argc, char** argv) {
    return runProgram(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
