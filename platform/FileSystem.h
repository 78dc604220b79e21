#pragma once

// The file system calls that Linux and Windows make differently, for the map writer. Every
// path here is in the system's own form (see Utf8Path.h). FileSystemPosix.cpp and
// FileSystemWindows.cpp implement them; everything else is the same code on both.

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace parlune::files {

// Each call that can fail stores the system's reason in reason.

// Whether the file may be written; a file that does not exist may be.
bool MayWrite(const std::filesystem::path& path, std::error_code& reason);

// Why the file cannot be opened for reading; nothing when it can.
std::error_code ReadFailure(const std::filesystem::path& path);

// Makes a new folder in folder named prefix (UTF-8) followed by six random characters, which
// only this user may enter where the system has such rights. Empty when it cannot be made.
std::filesystem::path MakePrivateFolder(const std::filesystem::path& folder,
                                        const std::string& prefix, std::error_code& reason);

// What a new target takes from its source: the permission bits on Linux, the attributes on
// Windows. Nothing when the file cannot be looked at.
std::optional<unsigned> FileModeOf(const std::filesystem::path& path);

// What a file made anew takes, before the umask: read and write for all on Linux, no attribute
// on Windows.
unsigned NewFileMode();

// Gives copy the owner and mode of target, or sourceMode when there is no target yet, flushes
// it to the disk and puts it in target's place in one step. False on failure; target is then
// as it was.
bool MoveOver(const std::filesystem::path& copy, const std::filesystem::path& target,
              unsigned sourceMode, std::error_code& reason);

} // namespace parlune::files
