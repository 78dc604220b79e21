#include "cli/Console.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace parlune::console {

OutputSetup::OutputSetup() : previousCodePage(::GetConsoleOutputCP()) {
    // The same bytes as on Linux when redirected: no "\r" added before each "\n".
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    // A console shows the text as UTF-8 while the program runs; it gets its code page back.
    if (previousCodePage != 0)
        ::SetConsoleOutputCP(CP_UTF8);
}

OutputSetup::~OutputSetup() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (previousCodePage != 0)
        ::SetConsoleOutputCP(previousCodePage);
}

bool StderrIsConsole() {
    // A file or pipe has no console mode; the progress line needs the console to take the
    // escape sequence that clears it.
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return ::GetConsoleMode(error, &mode) != 0 &&
           ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const int length =
            ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(length > 0 ? length : 1, '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, text.data(), length, nullptr, nullptr);
        text.pop_back(); // the terminating zero
        arguments.push_back(std::move(text));
    }
    return arguments;
}

} // namespace parlune::console
