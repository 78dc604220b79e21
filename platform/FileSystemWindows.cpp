#include "platform/FileSystem.h"

#include "platform/Utf8Path.h"

#include <cerrno>
#include <io.h>
#include <random>
#include <windows.h>

namespace parlune::files {

namespace fs = std::filesystem;

namespace {

// The attributes that a file can be given; the others describe what the file is.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Waits until the file's data are on the disk, so that a power cut after the move cannot
// leave a target that names unwritten blocks.
bool flushToDisk(const fs::path& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool flushed = ::FlushFileBuffers(file) != 0;
    return ::CloseHandle(file) != 0 && flushed;
}

std::error_code lastError() {
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

} // namespace

bool MayWrite(const fs::path& path, std::error_code& reason) {
    // The read-only attribute is what refuses writing; folders' rights are the system's affair.
    if (::_waccess(path.c_str(), 2) == 0 || errno == ENOENT)
        return true;
    reason = std::error_code(errno, std::generic_category());
    return false;
}

std::error_code ReadFailure(const fs::path& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lastError();
    ::CloseHandle(file);
    return {};
}

fs::path MakePrivateFolder(const fs::path& folder, const std::string& prefix,
                           std::error_code& reason) {
    constexpr std::string_view kLetters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i)
            name += kLetters[pick(seed)];
        const fs::path candidate = folder / PathFromUtf8(name);
        if (::CreateDirectoryW(candidate.c_str(), nullptr))
            return candidate;
        reason = lastError();
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}

unsigned NewFileMode() {
    return 0;
}

std::optional<unsigned> FileModeOf(const fs::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    return attributes & kSettableAttributes;
}

bool MoveOver(const fs::path& copy, const fs::path& target, unsigned sourceMode,
              std::error_code& reason) {
    const DWORD existing = ::GetFileAttributesW(target.c_str());
    DWORD attributes = existing != INVALID_FILE_ATTRIBUTES ? existing : sourceMode;
    attributes &= kSettableAttributes;
    if (!flushToDisk(copy) ||
        !::SetFileAttributesW(copy.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL) ||
        !::MoveFileExW(copy.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = lastError();
        return false;
    }
    return true;
}

} // namespace parlune::files
