// Writing the new map: the last phase of a run.

#include "archive/ArchiveFormat.h"
#include "processing/InlinedText.h"
#include "processing/MapMembers.h"
#include "processing/MapProcessor.h"
#include "processing/StringTable.h"
#include "processing/UpdatedCopy.h"

namespace parlune {

void MapProcessor::WriteMap() {
    logStep("Writing new map file...");
    const std::unique_ptr<TargetArchive> target = openTarget();
    storeStringTable(*target);
    storeLocaleTables(*target);
    for (std::size_t i = 0; i < kMapFileCount; ++i)
        AddToMap(*target, std::string(kMapFileNames[i]), MapFiles[i]);
    InlinedStrings = {};
    if (target->Remove(Kestmarlapi::kAttributesName, 0))
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
    } else if (target.Remove(name, 0)) {
        logResult("Removed war3map.wts");
    }
}

// Each table is made and stored on its own, so that only one is ever held as bytes. A table
// that cannot be read stays in the map as it is.
void MapProcessor::storeLocaleTables(TargetArchive& target) {
    for (LocaleTable& table : LocaleTables) {
        if (!table.Readable)
            continue;
        const std::string label = LocaleLabel(table.Name, table.Locale);
        const std::string data = SerialiseTable(table.Entries);
        std::vector<TWTSEntry>().swap(table.Entries);
        if (data.empty()) {
            if (target.Remove(table.Name, table.Locale))
                logResult("Removed " + label);
            continue;
        }
        target.Store(table.Name, table.Locale, data.size(),
                     [&](const PieceWriter& write) { return write(data); });
        logResult("Added " + label + " (" + std::to_string(data.size()) + " bytes)");
    }
}

void MapProcessor::AddToMap(TargetArchive& target, const std::string& name, MapFileSlot& slot) {
    if (!slot.Present)
        return;
    std::string memberName = name;
    if (ScriptInScriptsFolder && name == kScriptName) {
        memberName = kScriptInFolderName;
        target.Remove(memberName, 0);
    }
    // The member goes to the archive piece by piece, so that it never needs a buffer of its
    // own with the replacements made.
    const std::uint64_t size = InlinedSize(slot, InlinedStrings);
    target.Store(memberName, 0, size, [&](const PieceWriter& write) {
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
