#pragma once

// Runs parlune-cli as a user would from a shell, on Linux and on Windows.

#include "tests/support/TestSupport.h"

#include <string>
#include <vector>

namespace parlune::test {

struct CliResult {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs parlune-cli with the arguments (UTF-8, each passed as one argument) through the
// system's shell, its stdout and stderr going to the files cli.out and cli.err in outputDir.
CliResult RunCli(const std::vector<std::string>& arguments, const ScratchDir& outputDir);

} // namespace parlune::test
