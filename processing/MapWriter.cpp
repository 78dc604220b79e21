// Writing the new map: the last phase of a run.

#include "processing/InlinedMember.h"
#include "processing/MapProcessor.h"
#include "processing/NewMapFile.h"
#include "processing/ProcessingError.h"

#include <cerrno>
#include <limits>
#include <unistd.h>

namespace parlune {

namespace {

namespace api = Kestmarlapi;

constexpr const char* kCopyError = "Error copying map file!";
constexpr const char* kOpenError = "Error opening map file for writing!";
constexpr const char* kWriteError = "Error writing map file!";
constexpr const char* kAttributesName = "(attributes)";
constexpr std::uint32_t kOpenFlags = api::kOpenExisting;
constexpr std::uint32_t kAddFlags = api::kAddCompress | api::kAddReplaceExisting;
// The strongest deflate level is asked for; the library fixes its own level and ignores it.
constexpr int kCompressionLevel = 9;

// The new map open for update. Close commits it; on every other way out the archive is
// closed without caring for the result, since the copy is thrown away then.
class UpdatedArchive {
public:
    explicit UpdatedArchive(const std::string& path) {
        api::OpenFailure failure = api::OpenFailure::NotAnArchive;
        if (!api::MpqOpenArchiveForUpdate(path, kOpenFlags, 0, &archive, &failure))
            throw OpenError(kOpenError, failure);
    }
    ~UpdatedArchive() {
        if (archive != nullptr)
            api::MpqCloseUpdatedArchive(archive);
    }
    UpdatedArchive(const UpdatedArchive&) = delete;
    UpdatedArchive& operator=(const UpdatedArchive&) = delete;

    api::ArchiveHandle get() const { return archive; }

    void Close() {
        const bool committed = api::MpqCloseUpdatedArchive(archive);
        archive = nullptr;
        if (!committed)
            throw ProcessingError(kWriteError);
    }

private:
    api::ArchiveHandle archive = nullptr;
};

// Deletes a member and tells whether there was one. A member that is there and stays fails
// the run: its old contents would reach the new map.
bool removeFromMap(api::ArchiveHandle archive, const std::string& name) {
    switch (api::MpqDeleteFile(archive, name)) {
    case api::DeleteResult::Deleted:
        return true;
    case api::DeleteResult::Absent:
        return false;
    case api::DeleteResult::Failed:
        break;
    }
    throw ProcessingError("Error removing " + name + " from map!");
}

// A target that exists but may not be written, such as a file marked read-only, is left
// alone: copying onto it or updating it would be refused too.
bool mayWrite(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0 || errno == ENOENT;
}

} // namespace

void MapProcessor::WriteMap() {
    Log("Writing new map file...");
    if (!mayWrite(TargetPath))
        throw ProcessingError(SourcePath != TargetPath ? kCopyError : kOpenError);
    // The new map is built in a copy even when source and target are the same file, so that
    // a failure or a crash on the way never leaves a half-written map.
    NewMapFile newMap(SourcePath, TargetPath);
    if (SourcePath != TargetPath)
        Log("     Copied old map file");

    UpdatedArchive archive(newMap.Path());
    if (!StringTableData.empty()) {
        MapFileSlot table{std::move(StringTableData), true, {}};
        AddToMap(archive.get(), std::string(kStringTableName), table);
    } else if (removeFromMap(archive.get(), std::string(kStringTableName))) {
        Log("     Removed war3map.wts");
    }
    for (std::size_t i = 0; i < kMapFileCount; ++i)
        AddToMap(archive.get(), std::string(kMapFileNames[i]), MapFiles[i]);
    InlinedStrings = {};
    if (removeFromMap(archive.get(), kAttributesName))
        Log("     Removed attributes file");
    if (!NoCompact())
        compactMap(archive.get());
    archive.Close();

    newMap.Commit();
    Log("Everything done.");
}

void MapProcessor::AddToMap(api::ArchiveHandle archive, const std::string& name,
                            MapFileSlot& slot) {
    if (!slot.Present)
        return;
    std::string memberName = name;
    if (ScriptInScriptsFolder && name == kScriptName) {
        memberName = kScriptInFolderName;
        api::MpqDeleteFile(archive, memberName);
    }
    // The member goes to the library piece by piece, so that it never needs a buffer of its
    // own with the replacements made.
    const std::uint64_t size = InlinedSize(slot, InlinedStrings);
    const auto pieces = [&](const api::PieceWriter& write) {
        return ForEachPiece(slot, InlinedStrings, write);
    };
    if (size > std::numeric_limits<std::uint32_t>::max() ||
        !api::MpqAddFileFromPieces(archive, static_cast<std::uint32_t>(size), pieces, memberName,
                                   kAddFlags, api::kCompressionDeflate, kCompressionLevel))
        throw ProcessingError("Error adding " + memberName + " to map!");
    Log("     Added " + memberName + " (" + std::to_string(size) + " bytes)");
    std::string().swap(slot.Data);
    std::vector<Replacement>().swap(slot.Replacements);
}

void MapProcessor::compactMap(api::ArchiveHandle archive) {
    Log("Compacting new map file...");
    const auto progress = [this](std::uint64_t done, std::uint64_t total) {
        CompactionProgress(done, total);
    };
    switch (api::MpqCompactArchive(archive, progress)) {
    case api::CompactResult::Compacted:
        Log("     Done");
        return;
    case api::CompactResult::NamesUnknown:
        // Without every member's name the library cannot compact; the map is complete.
        Log("     Compaction not possible, map left uncompacted");
        return;
    case api::CompactResult::Failed:
        break;
    }
    throw ProcessingError(kWriteError);
}

} // namespace parlune
