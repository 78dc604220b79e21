#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlune::files {

namespace fs = std::filesystem;

namespace {

// Waits until the file's data (or the folder's entries) are on the disk, so that a power
// cut after the rename cannot leave a target that names unwritten blocks.
bool syncToDisk(const fs::path& path, int openFlags) {
    const int descriptor = ::open(path.c_str(), openFlags | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool synced = ::fsync(descriptor) == 0;
    return ::close(descriptor) == 0 && synced;
}

mode_t currentUmask() {
    // There is no call that only reads it.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

} // namespace

bool MayWrite(const fs::path& path, std::error_code& reason) {
    if (::access(path.c_str(), W_OK) == 0 || errno == ENOENT)
        return true;
    reason = lastError();
    return false;
}

std::error_code ReadFailure(const fs::path& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return lastError();
    ::close(descriptor);
    return {};
}

fs::path MakePrivateFolder(const fs::path& folder, const std::string& prefix,
                           std::error_code& reason) {
    std::string pattern = (folder / (prefix + "XXXXXX")).native();
    if (::mkdtemp(pattern.data()) == nullptr) {
        reason = lastError();
        return {};
    }
    return pattern;
}

unsigned NewFileMode() {
    return 0666;
}

std::optional<unsigned> FileModeOf(const fs::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return status.st_mode & 07777;
}

bool MoveOver(const fs::path& copy, const fs::path& target, unsigned sourceMode,
              std::error_code& reason) {
    mode_t mode = sourceMode & ~currentUmask();
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        // Only the superuser may give the file away; everyone else keeps their own files.
        if (::chown(copy.c_str(), existing.st_uid, existing.st_gid) != 0)
            (void)::chown(copy.c_str(), static_cast<uid_t>(-1), existing.st_gid);
        mode = existing.st_mode & 07777;
    }
    if (::chmod(copy.c_str(), mode) != 0 || !syncToDisk(copy, O_RDONLY) ||
        std::rename(copy.c_str(), target.c_str()) != 0) {
        reason = lastError();
        return false;
    }
    // The rename is done; a folder that cannot be flushed only loses the crash safety.
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    syncToDisk(folder, O_RDONLY | O_DIRECTORY);
    return true;
}

} // namespace parlune::files
