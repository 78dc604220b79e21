#pragma once

// What the command line needs from the system it runs on: ConsolePosix.cpp and
// ConsoleWindows.cpp.

#include <string>
#include <vector>

namespace parlune::console {

// Sets up stdout and stderr to take the program's UTF-8 text as it is, with "\n" line ends,
// for as long as the object lives.
class OutputSetup {
public:
    OutputSetup();
    ~OutputSetup();
    OutputSetup(const OutputSetup&) = delete;
    OutputSetup& operator=(const OutputSetup&) = delete;

private:
    [[maybe_unused]] unsigned previousCodePage = 0; // the console's, on Windows
};

// Whether stderr is a console (a terminal), where a line that updates itself can be shown.
bool StderrIsConsole();

#ifdef _WIN32
// The arguments after the program's name, which Windows hands over as UTF-16, in UTF-8.
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv);
#endif

} // namespace parlune::console
