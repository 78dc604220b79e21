#include "processing/NewMapFile.h"

#include "platform/FileSystem.h"
#include "platform/Utf8Path.h"
#include "processing/ProcessingError.h"

#include <cerrno>
#include <fstream>

namespace parlune {

namespace fs = std::filesystem;

namespace {

// The system's own limit for following a chain of symbolic links.
constexpr int kMaxLinkDepth = 40;
// Keeps the private folder's name within the file-name limit for any target name.
constexpr std::size_t kMaxNamePartLength = 100;

ProcessingError copyFailure(const fs::path& path, const std::string& reason) {
    return ProcessingError(kCopyFailure, FileDetail(Utf8FromPath(path), reason));
}

// Follows a chain of symbolic links to the path that a write through the link reaches, even
// when the last link names a file that does not exist yet.
fs::path resolveLinks(fs::path path) {
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return path;
        const fs::path next = fs::read_symlink(path, error);
        if (error)
            throw copyFailure(path, error.message());
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    throw copyFailure(path,
                      std::make_error_code(std::errc::too_many_symbolic_link_levels).message());
}

fs::path folderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// The start of a UTF-8 name, cut before a character rather than inside one.
std::string nameStart(std::string name, std::size_t length) {
    if (name.size() <= length)
        return name;
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
        --length;
    return name.substr(0, length);
}

fs::path makePrivateFolder(const fs::path& target) {
    const std::string name = nameStart(Utf8FromPath(target.filename()), kMaxNamePartLength);
    std::error_code reason;
    fs::path folder = files::MakePrivateFolder(folderOf(target), "." + name + ".parlune-", reason);
    if (folder.empty())
        throw copyFailure(target, reason.message());
    return folder;
}

} // namespace

NewMapFile::NewMapFile(const std::string& sourcePath, const std::string& targetPath)
    : target(resolveLinks(PathFromUtf8(targetPath))), folder(makePrivateFolder(target)),
      copyPath(Utf8FromPath(folder / "map")) {
    make(PathFromUtf8(sourcePath), [&](const fs::path& copy, std::error_code& error) {
        return fs::copy_file(PathFromUtf8(sourcePath), copy, fs::copy_options::none, error);
    });
}

NewMapFile::NewMapFile(const std::string& sourcePath, const std::string& targetPath, Empty)
    : target(resolveLinks(PathFromUtf8(targetPath))), folder(makePrivateFolder(target)),
      copyPath(Utf8FromPath(folder / "map")) {
    make(PathFromUtf8(sourcePath), [](const fs::path& copy, std::error_code& error) {
        errno = 0;
        const std::ofstream file(copy, std::ios::binary);
        if (!file)
            error.assign(errno != 0 ? errno : EIO, std::generic_category());
        return static_cast<bool>(file);
    });
}

void NewMapFile::make(const fs::path& source,
                      const std::function<bool(const fs::path&, std::error_code&)>& copy) {
    const fs::path file = folder / "map";
    const std::optional<unsigned> mode = files::FileModeOf(source);
    std::error_code error;
    if (!mode || !copy(file, error)) {
        const fs::path failed = mode ? target : source;
        const std::string reason = mode ? error.message() : files::ReadFailure(source).message();
        fs::remove_all(folder, error);
        throw copyFailure(failed, reason);
    }
    sourceMode = *mode;
    // A read-only source must not make the copy read-only: the library would then refuse
    // to update it.
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    error);
}

NewMapFile::NewMapFile(const std::string& targetPath, std::string_view bytes, std::nullptr_t)
    : target(resolveLinks(PathFromUtf8(targetPath))), folder(makePrivateFolder(target)),
      copyPath(Utf8FromPath(folder / "map")), sourceMode(files::NewFileMode()) {
    std::ofstream out(folder / "map", std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        throw copyFailure(target, "cannot write " + copyPath);
    }
}

NewMapFile::~NewMapFile() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

void NewMapFile::Commit() {
    std::error_code reason;
    if (!files::MoveOver(folder / "map", target, sourceMode, reason))
        throw ProcessingError(kWriteFailure, FileDetail(Utf8FromPath(target), reason.message()));
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

void RefuseUnwritableTarget(const std::string& targetPath, bool copying) {
    std::error_code reason;
    if (!files::MayWrite(PathFromUtf8(targetPath), reason))
        throw ProcessingError(copying ? kCopyFailure : kOpenForWritingFailure,
                              FileDetail(targetPath, reason.message()));
}

} // namespace parlune
