// Writing the new map: the last phase of a run.

#include "archive/ArchiveFormat.h"
#include "processing/InlinedText.h"
#include "processing/MapProcessor.h"
#include "processing/UpdatedCopy.h"

namespace parlune {

void MapProcessor::WriteMap() {
    logStep("Writing new map file...");
    const std::unique_ptr<TargetArchive> target = openTarget();
    storeStringTable(*target);
    for (std::size_t i = 0; i < kMapFileCount; ++i)
        AddToMap(*target, std::string(kMapFileNames[i]), MapFiles[i]);
    InlinedStrings = {};
    if (target->Remove(Kestmarlapi::kAttributesName))
        logResult("Removed attributes file");
    if (!NoCompact())
        compactMap(*target);
    target->Finish();
    logStep("Everything done.");
}

std::unique_ptr<TargetArchive> MapProcessor::openTarget() {
    return std::make_unique<UpdatedCopy>(SourcePath, TargetPath, [this] {
        if (SourcePath != TargetPath)
            logResult("Copied old map file");
    });
}

void MapProcessor::storeStringTable(TargetArchive& target) {
    const std::string name(kStringTableName);
    if (!StringTableData.empty()) {
        MapFileSlot table{std::move(StringTableData), true, {}};
        AddToMap(target, name, table);
    } else if (target.Remove(name)) {
        logResult("Removed war3map.wts");
    }
}

void MapProcessor::AddToMap(TargetArchive& target, const std::string& name, MapFileSlot& slot) {
    if (!slot.Present)
        return;
    std::string memberName = name;
    if (ScriptInScriptsFolder && name == kScriptName) {
        memberName = kScriptInFolderName;
        target.Remove(memberName);
    }
    // The member goes to the archive piece by piece, so that it never needs a buffer of its
    // own with the replacements made.
    const std::uint64_t size = InlinedSize(slot, InlinedStrings);
    target.Store(memberName, size, [&](const PieceWriter& write) {
        return ForEachPiece(slot, InlinedStrings, write);
    });
    logResult("Added " + memberName + " (" + std::to_string(size) + " bytes)");
    std::string().swap(slot.Data);
    std::vector<Replacement>().swap(slot.Replacements);
}

void MapProcessor::compactMap(TargetArchive& target) {
    logStep("Compacting new map file...");
    const bool compacted = target.Compact(
        [this](std::uint64_t done, std::uint64_t total) { CompactionProgress(done, total); });
    logResult(compacted ? "Done" : "Compaction not possible, map left uncompacted");
}

} // namespace parlune
