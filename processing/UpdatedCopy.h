#pragma once

#include "archive/Kestmarlapi.h"
#include "processing/FolderMap.h"
#include "processing/NewMapFile.h"
#include "processing/TargetArchive.h"

#include <functional>
#include <optional>
#include <string>

namespace parlune {

// Writes the new map as a map editor saves one: a copy of the source map, made beside the
// target, is updated in place through the archive library and replaces the target at Finish.
class UpdatedCopy : public TargetArchive {
public:
    // Copies the source map, calls copied, and opens the copy for update. A target that
    // exists but may not be written is refused before anything is copied.
    UpdatedCopy(const std::string& sourcePath, const std::string& targetPath,
                const std::function<void()>& copied);
    // A map kept as a folder, written as a map file: a new archive beside the target, behind a
    // map header, holds every file of the folder as a member, compressed as map editors
    // compress them. Calls copied once they are all in.
    UpdatedCopy(FolderMap& folder, const std::string& targetPath,
                const std::function<void()>& copied);

    void Store(const std::string& name, std::uint16_t locale, std::uint64_t size,
               const MemberPieces& pieces) override;
    bool Remove(const std::string& name, std::uint16_t locale) override;
    bool Compact(const ProgressCall& progress) override;
    void Finish() override;

private:
    std::string libraryDetail() const;

    std::string targetPath;
    // Declared before the archive so that the archive is closed before the copy is removed.
    std::optional<NewMapFile> copy;
    Kestmarlapi::ArchiveHandle archive;
};

} // namespace parlune
