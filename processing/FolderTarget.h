#pragma once

// The new map of a map kept as a folder, written as a folder: the source's files are copied
// into a new folder beside the target, the members the run writes are written there, and the
// new folder takes the target's place at Finish. The source is never changed.

#include "processing/TargetArchive.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace parlune {

class FolderTarget : public TargetArchive {
public:
    // Copies every member of the folder at sourcePath, then calls copied. A target that is the
    // source itself, or a file, is refused.
    FolderTarget(const std::string& sourcePath, const std::string& targetPath,
                 const std::function<void()>& copied);
    // Removes the new folder unless it took the target's place.
    ~FolderTarget() override;
    FolderTarget(const FolderTarget&) = delete;
    FolderTarget& operator=(const FolderTarget&) = delete;

    void Store(const std::string& name, std::uint16_t locale, std::uint64_t size,
               const MemberPieces& pieces) override;
    bool Remove(const std::string& name, std::uint16_t locale) override;
    // A folder has no space to give back.
    bool Compact(const ProgressCall&) override { return true; }
    void Finish() override;

private:
    std::filesystem::path fileOf(const std::string& name) const;

    std::string targetPath;
    std::filesystem::path target;
    std::filesystem::path folder;
    // The folder's files by the keys of their member names.
    std::map<std::string, std::filesystem::path> files;
};

// Whether the map of a folder at sourcePath is written to targetPath as a folder: when the target
// is a folder, or is not there yet and its name does not end in a map file's extension.
bool WritesFolder(const std::string& targetPath);

} // namespace parlune
