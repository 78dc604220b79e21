#pragma once

#include "archive/ArchiveRebuild.h"
#include "processing/NewMapFile.h"
#include "processing/TargetArchive.h"

#include <functional>
#include <memory>
#include <string>

namespace parlune {

// Writes the new map in one pass: a fresh archive, made beside the target from the source map's
// stored members and the members the run stores, compact by construction, which replaces the
// target at Finish.
class RebuiltCopy : public TargetArchive {
public:
    // Reads the source map's tables, makes the new map's file and calls copied. Empty, before
    // anything is made, when the source holds a member that can only stay where it is stored (a
    // member whose key depends on its position and is known neither by its name nor by its
    // stored form): the archive library's update in place keeps it. A target that exists but
    // may not be written is refused first.
    static std::unique_ptr<RebuiltCopy> Open(const std::string& sourcePath,
                                             const std::string& targetPath,
                                             const std::function<void()>& copied);

    void Store(const std::string& name, std::uint16_t locale, std::uint64_t size,
               const MemberPieces& pieces) override;
    bool Remove(const std::string& name, std::uint16_t locale) override;
    // Writes the new map, reporting the bytes written; it has no unused space.
    bool Compact(const ProgressCall& progress) override;
    void Finish() override;

private:
    RebuiltCopy(const std::string& sourcePath, const std::string& targetPath,
                std::unique_ptr<Kestmarlapi::ArchiveRebuild> rebuild);
    std::string detail() const;
    void write(const ProgressCall& progress);

    std::string targetPath;
    NewMapFile file;
    std::unique_ptr<Kestmarlapi::ArchiveRebuild> rebuild;
    bool written = false;
};

} // namespace parlune
