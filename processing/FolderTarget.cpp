#include "processing/FolderTarget.h"

#include "platform/FileSystem.h"
#include "platform/Utf8Path.h"
#include "processing/FolderMap.h"
#include "processing/MapMembers.h"
#include "processing/ProcessingError.h"

#include <fstream>

namespace parlune {

namespace fs = std::filesystem;

namespace {

fs::path parentOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// A member's name with the path of a file: backslashes become the system's separators.
fs::path relativePathOf(const std::string& name) {
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    return PathFromUtf8(path).make_preferred();
}

} // namespace

bool WritesFolder(const std::string& targetPath) {
    const fs::path target = PathFromUtf8(targetPath);
    std::error_code error;
    if (fs::exists(target, error))
        return fs::is_directory(target, error);
    const std::string extension = MemberNameKey(Utf8FromPath(target.extension()));
    return extension != ".w3x" && extension != ".w3m";
}

FolderTarget::FolderTarget(const std::string& sourcePath, const std::string& targetPath,
                           const std::function<void()>& copied)
    : targetPath(targetPath), target(fs::absolute(PathFromUtf8(targetPath))) {
    std::error_code error;
    const fs::path source = fs::absolute(PathFromUtf8(sourcePath));
    if (fs::equivalent(source, target, error))
        throw ProcessingError(kCopyFailure, FileDetail(targetPath, "the target is the source"));
    if (fs::exists(target, error) && !fs::is_directory(target, error))
        throw ProcessingError(kCopyFailure, FileDetail(targetPath, "a file, not a folder"));
    std::error_code reason;
    folder = files::MakePrivateFolder(parentOf(target),
                                      "." + Utf8FromPath(target.filename()) + ".parlune-", reason);
    if (folder.empty())
        throw ProcessingError(kCopyFailure, FileDetail(targetPath, reason.message()));
    const FolderMap map(sourcePath);
    for (const auto& [name, file] : map.Files()) {
        const fs::path copy = folder / relativePathOf(name);
        fs::create_directories(copy.parent_path(), error);
        if (error || !fs::copy_file(file, copy, error))
            throw ProcessingError(kCopyFailure, FileDetail(Utf8FromPath(copy), error.message()));
        files.emplace(MemberNameKey(name), copy);
    }
    copied();
}

FolderTarget::~FolderTarget() {
    std::error_code ignored;
    if (!folder.empty())
        fs::remove_all(folder, ignored);
}

// A member the folder has keeps its file's name, whatever the case the run spells it in.
fs::path FolderTarget::fileOf(const std::string& name) const {
    const auto found = files.find(MemberNameKey(name));
    return found != files.end() ? found->second : folder / relativePathOf(name);
}

void FolderTarget::Store(const std::string& name, std::uint16_t locale, std::uint64_t size,
                         const MemberPieces& pieces) {
    const fs::path file = fileOf(name);
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::uint64_t written = 0;
    const bool complete = locale == 0 && pieces([&](std::string_view piece) {
                              written += piece.size();
                              return static_cast<bool>(out.write(
                                  piece.data(), static_cast<std::streamsize>(piece.size())));
                          });
    out.close();
    if (!complete || !out || written != size)
        ThrowAddFailure(LocaleLabel(name, locale),
                        FileDetail(Utf8FromPath(file), "cannot be written"));
    files.emplace(MemberNameKey(name), file);
}

bool FolderTarget::Remove(const std::string& name, std::uint16_t locale) {
    const auto found = files.find(MemberNameKey(name));
    if (locale != 0 || found == files.end())
        return false;
    std::error_code error;
    if (!fs::remove(found->second, error))
        ThrowRemoveFailure(name, FileDetail(Utf8FromPath(found->second), error.message()));
    files.erase(found);
    return true;
}

// The old target steps aside under a name of its own, the new folder takes its place, and only
// then is the old one removed; a failure in between puts the old one back.
void FolderTarget::Finish() {
    std::error_code error;
    const fs::path aside = fs::path(folder).concat(".old");
    const bool replacing = fs::exists(target, error);
    if (replacing)
        fs::rename(target, aside, error);
    if (!error)
        fs::rename(folder, target, error);
    if (error) {
        std::error_code ignored;
        if (replacing)
            fs::rename(aside, target, ignored);
        throw ProcessingError(kWriteFailure, FileDetail(targetPath, error.message()));
    }
    folder.clear();
    if (replacing)
        fs::remove_all(aside, error);
}

} // namespace parlune
