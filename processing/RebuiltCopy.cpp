#include "processing/RebuiltCopy.h"

#include "processing/MapMembers.h"
#include "processing/ProcessingError.h"

#include <limits>

namespace parlune {

namespace api = Kestmarlapi;

std::unique_ptr<RebuiltCopy> RebuiltCopy::Open(const std::string& sourcePath,
                                               const std::string& targetPath,
                                               const std::function<void()>& copied) {
    RefuseUnwritableTarget(targetPath, sourcePath != targetPath);
    api::OpenFailure failure = api::OpenFailure::NotAnArchive;
    std::unique_ptr<api::ArchiveRebuild> rebuild = api::ArchiveRebuild::Open(sourcePath, &failure);
    if (rebuild && !rebuild->KeepsEverything())
        return nullptr;
    const std::string refusal = rebuild ? std::string() : api::LastFailureReason();
    // The new map's file comes first, so that a target that cannot be written fails as a copy
    // onto it would, before the source's refusal.
    std::unique_ptr<RebuiltCopy> copy(new RebuiltCopy(sourcePath, targetPath, std::move(rebuild)));
    copied();
    if (!copy->rebuild)
        throw OpenError(kOpenForWritingFailure, failure == api::OpenFailure::Protected,
                        FileDetail(targetPath, refusal));
    return copy;
}

RebuiltCopy::RebuiltCopy(const std::string& sourcePath, const std::string& targetPath,
                         std::unique_ptr<api::ArchiveRebuild> rebuild)
    : targetPath(targetPath), file(sourcePath, targetPath, NewMapFile::Empty{}),
      rebuild(std::move(rebuild)) {}

std::string RebuiltCopy::detail() const {
    return FileDetail(targetPath, rebuild->FailureReason());
}

void RebuiltCopy::Store(const std::string& name, std::uint16_t locale, std::uint64_t size,
                        const MemberPieces& pieces) {
    if (size > std::numeric_limits<std::uint32_t>::max() ||
        !rebuild->Store(name, locale, static_cast<std::uint32_t>(size), pieces))
        ThrowAddFailure(LocaleLabel(name, locale), detail());
}

// A member that is there and stays fails the run: its old contents would reach the new map.
bool RebuiltCopy::Remove(const std::string& name, std::uint16_t locale) {
    const api::DeleteResult result = rebuild->Remove(name, locale);
    if (result == api::DeleteResult::Failed)
        ThrowRemoveFailure(LocaleLabel(name, locale), detail());
    return result == api::DeleteResult::Deleted;
}

bool RebuiltCopy::Compact(const ProgressCall& progress) {
    write(progress);
    return true;
}

void RebuiltCopy::write(const ProgressCall& progress) {
    if (written)
        return;
    if (!rebuild->Write(file.Path(), progress))
        throw ProcessingError(kWriteFailure, detail());
    written = true;
}

// The new map must open again, with every member reachable, before it takes the target's place.
void RebuiltCopy::Finish() {
    write({});
    if (!api::SFileOpenArchive(file.Path()))
        throw ProcessingError(kWriteFailure,
                              FileDetail(targetPath, "the written map does not open again"));
    file.Commit();
}

} // namespace parlune
