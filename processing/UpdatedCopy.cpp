#include "processing/UpdatedCopy.h"

#include "platform/Utf8Path.h"
#include "processing/MapMembers.h"
#include "processing/ProcessingError.h"

#include <limits>

namespace parlune {

namespace api = Kestmarlapi;

UpdatedCopy::UpdatedCopy(const std::string& sourcePath, const std::string& targetPath,
                         const std::function<void()>& copied)
    : targetPath(targetPath) {
    RefuseUnwritableTarget(targetPath, sourcePath != targetPath);
    // The new map is built in a copy even when source and target are the same file, so that
    // a failure or a crash on the way never leaves a half-written map.
    copy.emplace(sourcePath, targetPath);
    copied();
    api::OpenFailure failure = api::OpenFailure::NotAnArchive;
    archive = api::MpqOpenArchiveForUpdate(copy->Path(), &failure);
    if (!archive)
        throw OpenError(kOpenForWritingFailure, failure == api::OpenFailure::Protected,
                        libraryDetail());
}

UpdatedCopy::UpdatedCopy(FolderMap& folder, const std::string& targetPath,
                         const std::function<void()>& copied)
    : targetPath(targetPath) {
    RefuseUnwritableTarget(targetPath, true);
    const std::string name = Utf8FromPath(PathFromUtf8(targetPath).stem());
    // The players' number is the map's own business; the game takes it from war3map.w3i.
    copy.emplace(targetPath, MapFileHeader(name, 0), nullptr);
    archive =
        api::MpqCreateArchive(copy->Path(), static_cast<std::uint32_t>(folder.Files().size()));
    if (!archive)
        throw ProcessingError(kCopyFailure, libraryDetail());
    for (const auto& [member, file] : folder.Files()) {
        // The library writes its own members anew.
        if (SameMemberName(member, kListfileName) || SameMemberName(member, kAttributesName) ||
            SameMemberName(member, kSignatureName))
            continue;
        std::string data;
        folder.ReadMember(member, data, 0);
        Store(member, 0, data.size(), [&](const PieceWriter& write) { return write(data); });
    }
    copied();
}

// The library's reason for its last failure, said of the target.
std::string UpdatedCopy::libraryDetail() const {
    return FileDetail(targetPath, api::LastFailureReason());
}

void UpdatedCopy::Store(const std::string& name, std::uint16_t locale, std::uint64_t size,
                        const MemberPieces& pieces) {
    if (size > std::numeric_limits<std::uint32_t>::max() ||
        !api::MpqAddFileFromPieces(*archive, static_cast<std::uint32_t>(size), pieces, name,
                                   locale))
        ThrowAddFailure(LocaleLabel(name, locale), libraryDetail());
}

// A member that is there and stays fails the run: its old contents would reach the new map.
bool UpdatedCopy::Remove(const std::string& name, std::uint16_t locale) {
    const api::DeleteResult result = api::MpqDeleteFile(*archive, name, locale);
    if (result == api::DeleteResult::Failed)
        ThrowRemoveFailure(LocaleLabel(name, locale), libraryDetail());
    return result == api::DeleteResult::Deleted;
}

// Without every member's name the library cannot compact; the map is complete all the same.
bool UpdatedCopy::Compact(const ProgressCall& progress) {
    const api::CompactResult result = api::MpqCompactArchive(*archive, progress);
    if (result == api::CompactResult::Failed)
        throw ProcessingError(kWriteFailure, libraryDetail());
    return result == api::CompactResult::Compacted;
}

// The library may write tables that name a member outside the file (an emptied member placed
// at the old end of data, then the tables written below it), and that member would then be
// lost to every reader. So the new map must open again, with every member reachable, before
// it takes the target's place.
void UpdatedCopy::Finish() {
    if (!api::MpqCloseUpdatedArchive(std::move(archive)))
        throw ProcessingError(kWriteFailure, libraryDetail());
    if (!api::SFileOpenArchive(copy->Path()))
        throw ProcessingError(kWriteFailure,
                              FileDetail(targetPath, "the written map does not open again"));
    copy->Commit();
}

} // namespace parlune
