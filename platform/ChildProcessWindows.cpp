#include "platform/ChildProcess.h"

#include "platform/Utf8Path.h"

#include <windows.h>

namespace parlune {

namespace {

// One argument of a command line as the C run-time library splits it again: in quotes, with
// the backslashes before a quote and at the end doubled and each quote escaped.
std::wstring quoted(const std::wstring& argument) {
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, L'\\');
    return text + L"\"";
}

HANDLE inheritableFile(const std::filesystem::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments,
                           const std::filesystem::path& out, const std::filesystem::path& err) {
    std::wstring commandLine = quoted(program.wstring());
    for (const std::string& argument : arguments)
        commandLine += L" " + quoted(PathFromUtf8(argument).wstring());
    const HANDLE output = inheritableFile(out);
    const HANDLE errors = inheritableFile(err);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = errors;
    PROCESS_INFORMATION process{};
    if (output != INVALID_HANDLE_VALUE && errors != INVALID_HANDLE_VALUE &&
        CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        handle = reinterpret_cast<std::intptr_t>(process.hProcess);
    }
    for (const HANDLE file : {output, errors})
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
}

ChildProcess::~ChildProcess() {
    Wait();
}

int ChildProcess::Wait() {
    if (handle < 0)
        return exitCode;
    const auto process = reinterpret_cast<HANDLE>(handle);
    DWORD code = 0;
    if (WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process, &code))
        exitCode = static_cast<int>(code);
    CloseHandle(process);
    handle = -1;
    return exitCode;
}

std::filesystem::path ThisProgram() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path;
}

} // namespace parlune
