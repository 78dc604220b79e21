#include "cli/Options.h"

#include <charconv>

namespace parlune {

const char* const kUsage =
    "usage: parlune-cli [--debug] [--no-compact] [--dry-run] [--check] [--report FILE]\n"
    "                   SOURCE TARGET\n"
    "       parlune-cli [OPTIONS] [-j N] --out-dir DIR MAP...\n";

const char* const kHelp =
    "Copies the text of every referenced trigger string into the map members that refer to\n"
    "it, drops the strings nobody needs any more and writes the result to TARGET (which may\n"
    "be SOURCE itself). A map may be a map file or a folder that holds a map's files.\n\n"
    "  --debug          write detailed log lines\n"
    "  --no-compact     leave the compaction step out of the log (the new map is\n"
    "                   written without unused space either way)\n"
    "  --dry-run        do everything but write; TARGET may be left out\n"
    "  --check          exit with 3 when a reference names no string or a string is too long\n"
    "                   to be inlined\n"
    "  --report FILE    write a JSON report of the run to FILE (- for standard output; the log\n"
    "                   then goes to standard error)\n"
    "  --copy-unchanged copy a map with nothing to inline to TARGET as it is\n"
    "  --out-dir DIR    write each MAP to DIR under its own name\n"
    "  -j N             run N maps at once (default: one per core)\n"
    "  --help           show this text\n"
    "  --version        show the program's version\n\n"
    "Exit codes: 0 done; 1 a run failed; 2 wrong arguments; 3 --check found a problem.\n";

namespace {

// Takes a count of one or more written in decimal; false for anything else.
bool takeCount(const std::string& text, unsigned& count) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0)
        return false;
    count = value;
    return true;
}

// Takes an option with a value: the next argument.
bool takeValue(const std::vector<std::string>& arguments, std::size_t& i,
               std::optional<std::string>& value) {
    if (i + 1 >= arguments.size() || arguments[i + 1].empty() || value)
        return false;
    value = arguments[++i];
    return true;
}

bool pathsFit(const Options& options) {
    if (options.help || options.version)
        return true;
    if (options.outDir)
        return !options.paths.empty();
    return options.jobs == 0 &&
           (options.paths.size() == 2 || (options.dryRun && options.paths.size() == 1));
}

} // namespace

std::optional<Options> ParseArguments(const std::vector<std::string>& arguments) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::optional<std::string> jobs;
        bool known = true;
        if (argument == "--help")
            options.help = true;
        else if (argument == "--version")
            options.version = true;
        else if (argument == "--debug")
            options.debug = true;
        else if (argument == "--no-compact")
            options.noCompact = true;
        else if (argument == "--dry-run")
            options.dryRun = true;
        else if (argument == "--check")
            options.check = true;
        else if (argument == "--copy-unchanged")
            options.copyUnchanged = true;
        else if (argument == "--report")
            known = takeValue(arguments, i, options.report);
        else if (argument == "--out-dir")
            known = takeValue(arguments, i, options.outDir);
        else if (argument == "-j")
            known = takeValue(arguments, i, jobs) && takeCount(*jobs, options.jobs);
        else if (argument.empty() || argument.starts_with("--"))
            known = false;
        else
            options.paths.push_back(argument);
        if (!known)
            return std::nullopt;
    }
    if (!pathsFit(options))
        return std::nullopt;
    return options;
}

} // namespace parlune
