#include "processing/MapProcessor.h"

#include "processing/Extraction.h"
#include "processing/FolderMap.h"
#include "processing/FolderTarget.h"
#include "processing/Inliner.h"
#include "processing/MapMembers.h"
#include "processing/MapWriter.h"
#include "processing/MarkerSearch.h"
#include "processing/NewMapFile.h"
#include "processing/ProcessingError.h"
#include "processing/RebuiltCopy.h"
#include "processing/StringTable.h"
#include "processing/Summary.h"
#include "processing/UpdatedCopy.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace parlune {

namespace {

// Enables the run controls again when the run ends, whichever way.
class RunControlsGuard {
public:
    explicit RunControlsGuard(ProcessingHost& host) : host(host) { host.EnableRunControls(false); }
    ~RunControlsGuard() { host.EnableRunControls(true); }
    RunControlsGuard(const RunControlsGuard&) = delete;
    RunControlsGuard& operator=(const RunControlsGuard&) = delete;

private:
    ProcessingHost& host;
};

std::string inlinedLine(const Replacement& replacement, const std::vector<TWTSEntry>& entries,
                        const std::string& name) {
    const std::string number = std::to_string(replacement.Number);
    if (replacement.Entry == kMissingString)
        return "Removed reference to non-existant string " + number + " in " + name;
    const std::size_t lineCount = entries[replacement.Entry].Lines.size();
    if (lineCount >= 2)
        return "Inlined string " + number + " with " + std::to_string(lineCount) + " lines into " +
               name;
    return "Inlined string " + number + " into " + name;
}

} // namespace

void MapProcessor::Run() {
    RunControlsGuard controls(*this);
    Summary = {};
    runPhases();
}

void MapProcessor::logStep(const std::string& text) {
    LogAtLevel(LogLevel::Step, text);
}

void MapProcessor::logResult(const std::string& text) {
    LogAtLevel(LogLevel::Result, "     " + text);
}

void MapProcessor::logDetail(const std::string& text) {
    LogAtLevel(LogLevel::Detail, "          " + text);
}

void MapProcessor::runPhases() {
    logStep("Extracting files from map...");
    ExtractMembers(*this, [this](const std::string& line) { logResult(line); });
    LoadStringTable();
    ParseStringTable();
    if (Entries.empty()) {
        logStep("No strings to inline");
        if (CopyUnchanged() && !DryRun())
            copyUnchangedMap();
        return;
    }
    InlineStrings();
    WriteStringTable();
    if (DryRun())
        logStep("Dry run: nothing written");
    else
        WriteMap();
}

// --- The string table ------------------------------------------------------------------------

void MapProcessor::LoadStringTable() {
    logStep("Loading war3map.wts...");
    StringTableLines = SplitTableLines(StringTableData, kStringTableName);
    logResult(std::to_string(StringTableLines.size()) + " lines loaded");
}

void MapProcessor::ParseStringTable() {
    logStep("Parsing war3map.wts...");
    ParsedTable parsed = ParseTableLines(StringTableLines);
    Entries = std::move(parsed.Entries);
    if (Verbose())
        for (const TWTSEntry& entry : Entries)
            logDetail("Found string " + std::to_string(entry.Id));
    if (parsed.Failure)
        throw *parsed.Failure;
    LineList().swap(StringTableLines); // give the memory back: the later phases need it
    Summary.StringsBefore = Summary.StringsAfter = Entries.size();
    logResult(std::to_string(Entries.size()) + " strings found");
}

void MapProcessor::WriteStringTable() {
    StringTableData.clear();
    logStep("Writing new war3map.wts...");
    if (Entries.empty()) {
        logResult("No strings to write");
        return;
    }
    StringTableData = SerialiseTable(Entries);
    if (Verbose())
        for (const TWTSEntry& entry : Entries)
            logDetail("Added string " + std::to_string(entry.Id));
    logResult("Done");
}

// --- Inlining --------------------------------------------------------------------------------

void MapProcessor::InlineStrings() {
    logStep("Inlining trigger strings...");
    const std::size_t countBefore = Entries.size();
    InlinedStrings = {};
    Inliner inliner(Entries, LocaleTables);
    std::optional<SummaryBuilder> summary;
    if (Summarise())
        summary.emplace(Summary, [&](std::int32_t number) { return inliner.Holds(number); });
    for (std::size_t i = 0; i < kMapFileCount; ++i) {
        InlineIntoFile(kMapFileNames[i], MapFiles[i], inliner);
        if (summary && MapFiles[i].Present)
            summary->AddMember(
                std::string(i == 0 ? ScriptMemberName(ScriptInScriptsFolder) : kMapFileNames[i]),
                MapFiles[i]);
    }
    keepScannedReferences(inliner, summary ? &*summary : nullptr);
    if (summary)
        summary->AddStrings(Entries);
    logStep("Removing inlined strings from war3map.wts...");
    const std::vector<std::size_t> removed = inliner.Prune(Entries, LocaleTables, InlinedStrings);
    Summary.StringsAfter = Entries.size();
    // Removals are reported from the last entry to the first, by position in the table.
    if (Verbose())
        for (auto position = removed.rbegin(); position != removed.rend(); ++position)
            logDetail("Removed string " + std::to_string(*position));
    logResult("Removed " + std::to_string(countBefore - Entries.size()) + " strings (" +
              std::to_string(Entries.size()) + " strings retained)");
}

void MapProcessor::InlineIntoFile(std::string_view name, MapFileSlot& slot, Inliner& inliner) {
    const MemberInlining inlining = inliner.Inline(name, slot);
    const std::string member(name);
    if (!slot.Present)
        return;
    if (!slot.Unchanged.empty()) {
        logResult(member + " left unchanged: " + slot.Unchanged);
        logKept(slot.Kept.size(), member);
        return;
    }
    if (!inlining.HasMarkers) {
        logResult("No strings to inline into " + member);
        return;
    }
    if (Verbose())
        logDecisions(member, slot);
    // A marker without a number ends the run once the references before it are reported.
    if (inlining.Unreadable)
        ThrowInvalidInteger(*inlining.Unreadable);
    const auto forTranslations = static_cast<std::size_t>(
        std::count_if(slot.Kept.begin(), slot.Kept.end(), [](const KeptReference& kept) {
            return kept.Reason == KeptReason::Translations;
        }));
    logResult(std::to_string(slot.Replacements.size()) + " strings inlined into " + member);
    if (forTranslations > 0)
        logResult(std::to_string(forTranslations) + " references kept for translations in " +
                  member);
    if (slot.Form == TextForm::Lua)
        logKept(slot.Kept.size() - forTranslations, member);
}

// The detail lines of a member's references, front to back: each one replaced, and each one
// kept for the translations.
void MapProcessor::logDecisions(const std::string& name, const MapFileSlot& slot) {
    auto kept = slot.Kept.begin();
    const auto logKeptBefore = [&](std::uint32_t offset) {
        for (; kept != slot.Kept.end() && kept->Offset < offset; ++kept)
            if (kept->Reason == KeptReason::Translations)
                logDetail("Kept string " + std::to_string(kept->Number) + " for translations");
    };
    for (const Replacement& replacement : slot.Replacements) {
        logKeptBefore(replacement.Offset);
        logDetail(inlinedLine(replacement, Entries, name));
    }
    logKeptBefore(std::numeric_limits<std::uint32_t>::max());
}

void MapProcessor::logKept(std::size_t count, std::string_view name) {
    if (count > 0)
        logResult(std::to_string(count) + " references kept in " + std::string(name));
}

void MapProcessor::keepScannedReferences(Inliner& inliner, SummaryBuilder* summary) {
    const auto keep = [&](const std::string& name, const std::vector<ReferenceAt>& references) {
        for (const ReferenceAt& reference : references)
            inliner.Keep(reference.Number);
        logKept(references.size(), name);
        if (summary && !references.empty())
            summary->AddScanned(name, references);
    };
    for (std::size_t i = 0; i < kScannedFileCount; ++i) {
        MapFileSlot& slot = ScannedFiles[i];
        if (slot.Present)
            keep(std::string(kScannedFileNames[i]), ReferencesIn(slot.Data));
        slot = MapFileSlot();
    }
    for (const ScannedMember& member : OtherMembers)
        keep(member.Label, member.References);
}

// --- Writing the map -------------------------------------------------------------------------

void MapProcessor::WriteMap() {
    logStep("Writing new map file...");
    MapWriter writer(openTarget());
    storeTables(writer);
    for (std::size_t i = 0; i < kMapFileCount; ++i)
        AddToMap(writer, std::string(kMapFileNames[i]), MapFiles[i]);
    InlinedStrings = {};
    if (writer.AttributesRemoved())
        logResult("Removed attributes file");
    if (!NoCompact())
        compactMap(writer);
    writer.Finish();
    logStep("Everything done.");
}

// The map as it is, safely in the target's place; a map that is its own target stays.
void MapProcessor::copyUnchangedMap() {
    if (SourcePath == TargetPath)
        return;
    if (IsMapFolder(SourcePath)) {
        openTarget()->Finish();
        return;
    }
    NewMapFile copy(SourcePath, TargetPath);
    copy.Commit();
    logResult("Copied old map file");
}

// A map kept as a folder goes to a folder or to a new map file made by the archive library; a
// map file is written anew, or updated in a copy when it holds a member that must stay where
// it is stored.
std::unique_ptr<TargetArchive> MapProcessor::openTarget() {
    const auto copied = [this] {
        if (SourcePath != TargetPath)
            logResult("Copied old map file");
    };
    if (!IsMapFolder(SourcePath)) {
        if (auto rebuilt = RebuiltCopy::Open(SourcePath, TargetPath, copied))
            return rebuilt;
        return std::make_unique<UpdatedCopy>(SourcePath, TargetPath, copied);
    }
    if (WritesFolder(TargetPath))
        return std::make_unique<FolderTarget>(SourcePath, TargetPath, copied);
    FolderMap folder(SourcePath);
    return std::make_unique<UpdatedCopy>(folder, TargetPath, copied);
}

// The root table first, then each readable translated table, made and stored one at a time
// so that only one is ever held as bytes. A table that cannot be read stays as it is.
void MapProcessor::storeTables(MapWriter& writer) {
    storeTable(writer, std::string(kStringTableName), 0, StringTableData);
    std::string().swap(StringTableData);
    for (LocaleTable& table : LocaleTables) {
        if (!table.Readable)
            continue;
        const std::string data = SerialiseTable(table.Entries);
        std::vector<TWTSEntry>().swap(table.Entries);
        storeTable(writer, table.Name, table.Locale, data);
    }
}

void MapProcessor::storeTable(MapWriter& writer, const std::string& name, std::uint16_t locale,
                              const std::string& data) {
    const std::string label = LocaleLabel(name, locale);
    switch (writer.StoreTable(name, locale, data)) {
    case MapWriter::TableOutcome::Added:
        logResult("Added " + label + " (" + std::to_string(data.size()) + " bytes)");
        break;
    case MapWriter::TableOutcome::Removed:
        logResult("Removed " + label);
        break;
    case MapWriter::TableOutcome::Absent:
        break;
    }
}

void MapProcessor::AddToMap(MapWriter& writer, const std::string& name, MapFileSlot& slot) {
    if (!slot.Present)
        return;
    // The script goes back where it was found; in the Scripts folder it is written anew.
    const bool inScriptsFolder = ScriptInScriptsFolder && name == kScriptName;
    const std::string memberName(inScriptsFolder ? ScriptMemberName(true) : name);
    const std::uint64_t size =
        writer.StoreMember(memberName, slot, InlinedStrings, inScriptsFolder);
    logResult("Added " + memberName + " (" + std::to_string(size) + " bytes)");
    std::string().swap(slot.Data);
    std::vector<Replacement>().swap(slot.Replacements);
}

void MapProcessor::compactMap(MapWriter& writer) {
    logStep("Compacting new map file...");
    const bool compacted = writer.Compact(
        [this](std::uint64_t done, std::uint64_t total) { CompactionProgress(done, total); });
    logResult(compacted ? "Done" : "Compaction not possible, map left uncompacted");
}

} // namespace parlune
