#include "tests/support/CliRunner.h"

#include "platform/Utf8Path.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace parlune::test {

namespace {

#ifdef _WIN32

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The program lies beside the tests' own.
std::string cliPath() {
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return Utf8FromPath(std::filesystem::path(std::wstring(self, length)).parent_path() /
                        PARLUNE_CLI_PATH);
}

int runCommand(const std::string& command) {
    // cmd.exe takes the outer quotes off a command that starts with one; the line goes to it
    // as UTF-16, as the path of a file would.
    return ::_wsystem(PathFromUtf8(quoted(command)).c_str());
}

#else

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string cliPath() {
    return PARLUNE_CLI_PATH;
}

int runCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

} // namespace

CliResult RunCli(const std::vector<std::string>& arguments, const ScratchDir& outputDir) {
    const std::string out = outputDir.File("cli.out");
    const std::string err = outputDir.File("cli.err");
    std::string command = quoted(cliPath());
    for (const std::string& argument : arguments)
        command += " " + quoted(argument);
    command += " >" + quoted(out) + " 2>" + quoted(err);
    return {runCommand(command), ReadFileBytes(out), ReadFileBytes(err)};
}

} // namespace parlune::test
