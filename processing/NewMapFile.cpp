#include "processing/NewMapFile.h"

#include "processing/ProcessingError.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlune {

namespace fs = std::filesystem;

namespace {

// The system's own limit for following a chain of symbolic links.
constexpr int kMaxLinkDepth = 40;
// Keeps the private folder's name within the file-name limit for any target name.
constexpr std::size_t kMaxNamePartLength = 100;

// Follows a chain of symbolic links to the path that a write through the link reaches, even
// when the last link names a file that does not exist yet.
fs::path resolveLinks(fs::path path) {
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return path;
        const fs::path next = fs::read_symlink(path, error);
        if (error)
            throw ProcessingError(kCopyFailure);
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    throw ProcessingError(kCopyFailure);
}

fs::path folderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

fs::path makePrivateFolder(const fs::path& target) {
    const std::string name = target.filename().string().substr(0, kMaxNamePartLength);
    std::string pattern = (folderOf(target) / ("." + name + ".parlune-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw ProcessingError(kCopyFailure);
    return pattern;
}

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

} // namespace

NewMapFile::NewMapFile(const std::string& sourcePath, const std::string& targetPath)
    : target(resolveLinks(targetPath)), folder(makePrivateFolder(target)),
      copyPath((folder / "map").string()) {
    struct stat source {};
    std::error_code error;
    if (::stat(sourcePath.c_str(), &source) != 0 ||
        !fs::copy_file(sourcePath, copyPath, fs::copy_options::none, error)) {
        fs::remove_all(folder, error);
        throw ProcessingError(kCopyFailure);
    }
    sourceMode = source.st_mode & 07777;
    // A read-only source must not make the copy read-only: the library would then refuse
    // to update it.
    fs::permissions(copyPath, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    error);
}

NewMapFile::~NewMapFile() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

void NewMapFile::Commit() {
    mode_t mode = sourceMode & ~currentUmask();
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        // Only the superuser may give the file away; everyone else keeps their own files.
        if (::chown(copyPath.c_str(), existing.st_uid, existing.st_gid) != 0)
            (void)::chown(copyPath.c_str(), static_cast<uid_t>(-1), existing.st_gid);
        mode = existing.st_mode & 07777;
    }
    if (::chmod(copyPath.c_str(), mode) != 0 || !syncToDisk(copyPath, O_RDONLY) ||
        std::rename(copyPath.c_str(), target.c_str()) != 0)
        throw ProcessingError(kWriteFailure);
    // The rename is done; a folder that cannot be flushed only loses the crash safety.
    syncToDisk(folderOf(target), O_RDONLY | O_DIRECTORY);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

} // namespace parlune
