// parlune-cli: inlines the trigger strings of a map, or of many, from the command line.

#include "Version.h"
#include "cli/BatchRun.h"
#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/SingleRun.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

int runProgram(const std::vector<std::string>& arguments) {
    const parlune::console::OutputSetup output;
    const std::optional<parlune::Options> options = parlune::ParseArguments(arguments);
    if (!options) {
        std::fputs(parlune::kUsage, stderr);
        return parlune::kBadArguments;
    }
    if (options->help) {
        std::fputs(parlune::kUsage, stdout);
        std::fputs(parlune::kHelp, stdout);
        return parlune::kSuccess;
    }
    if (options->version) {
        std::printf("parlune-cli %s\n", parlune::kVersion);
        return parlune::kSuccess;
    }
    return options->outDir ? parlune::RunManyMaps(*options) : parlune::RunOneMap(*options);
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
