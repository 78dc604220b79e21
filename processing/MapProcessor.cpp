#include "processing/MapProcessor.h"

#include "processing/Inliner.h"
#include "processing/MapMembers.h"
#include "processing/ProcessingError.h"
#include "processing/SourceMap.h"
#include "processing/StringTable.h"

#include <algorithm>
#include <unordered_set>

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

// The names the rewritten members may stand under, in the order of the members.
std::vector<std::string_view> rewrittenMemberNames() {
    std::vector<std::string_view> names = {kScriptName, kScriptInFolderName};
    names.insert(names.end(), kMapFileNames.begin() + 1, kMapFileNames.end());
    return names;
}

std::string sizeNote(const std::string& data) {
    return " (" + std::to_string(data.size()) + " bytes)";
}

} // namespace

void MapProcessor::Run() {
    RunControlsGuard controls(*this);
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
    extractFiles();
    LoadStringTable();
    ParseStringTable();
    if (Entries.empty()) {
        logStep("No strings to inline");
        return;
    }
    InlineStrings();
    WriteStringTable();
    WriteMap();
}

void MapProcessor::extractFiles() {
    logStep("Extracting files from map...");
    SourceMap source(SourcePath);
    if (!source.ReadMember(kStringTableName, StringTableData))
        throw ProcessingError(kTableMissingFailure);
    logResult("Extracted war3map.wts" + sizeNote(StringTableData));
    const std::vector<std::string> listed = source.ListedNames();
    extractLocaleTables(source, listed);
    extractScript(source);
    for (std::size_t i = 1; i < kMapFileCount; ++i) {
        const std::string name(kMapFileNames[i]);
        MapFileSlot& slot = MapFiles[i];
        slot.Present = source.ReadMember(name, slot.Data);
        if (slot.Present)
            logResult("Extracted " + name + sizeNote(slot.Data));
        else if (i < kReportedFileCount)
            logResult(name + " not found inside map");
    }
    // Read without a report: these members are only scanned for the strings they need.
    for (std::size_t i = 0; i < kScannedFileCount; ++i) {
        MapFileSlot& slot = ScannedFiles[i];
        slot.Present = source.ReadMember(kScannedFileNames[i], slot.Data);
    }
    scanOtherMembers(source, listed);
}

void MapProcessor::extractLocaleTables(SourceMap& source, const std::vector<std::string>& listed) {
    LocaleTables.clear();
    for (const std::uint16_t locale : source.Locales(kStringTableName))
        extractLocaleTable(source, std::string(kStringTableName), locale);
    for (const std::string& name : LocaleFolderTableNames(listed))
        extractLocaleTable(source, name, 0);
}

void MapProcessor::extractLocaleTable(SourceMap& source, const std::string& name,
                                      std::uint16_t locale) {
    std::string data;
    if (!source.ReadMember(name, data, locale))
        return;
    const std::string label = LocaleLabel(name, locale);
    logResult("Extracted " + label + sizeNote(data));
    LocaleTable table{name, locale, false, {}};
    // A table that ends before its first line fails to parse, as the root table would.
    if (!data.starts_with('\0')) {
        LineList lines = SplitTableLines(data, label);
        ParsedTable parsed = ParseTableLines(lines);
        table.Readable = !parsed.Failure;
        table.Entries = std::move(parsed.Entries);
    }
    if (!table.Readable) {
        logResult(label + " cannot be read; its strings are kept");
        table.Entries.clear();
    }
    LocaleTables.push_back(std::move(table));
}

// Every member the run does not rewrite may hold references; the strings they name must stay.
// Each member is read, its numbers taken and its bytes released before the next is read.
void MapProcessor::scanOtherMembers(SourceMap& source, const std::vector<std::string>& listed) {
    OtherMembers.clear();
    std::unordered_set<std::string> handled;
    for (const std::string_view name : kMapFileNames)
        handled.insert(MemberNameKey(name));
    if (ScriptInScriptsFolder)
        handled.insert(MemberNameKey(kScriptInFolderName));
    for (const std::string_view name : kScannedFileNames)
        handled.insert(MemberNameKey(name));
    handled.insert(MemberNameKey(kStringTableName));
    const auto scan = [&](const std::string& name) {
        if (!HoldsNoReferences(name) && LocaleFolderCode(name).empty() &&
            handled.insert(MemberNameKey(name)).second)
            scanMember(source, name, 0);
    };
    for (const std::string& name : listed)
        scan(name);
    for (const std::string_view name : kKnownMemberNames)
        scan(std::string(name));
    // The entries for other locales of the rewritten members stay as they are.
    for (const std::string_view name : rewrittenMemberNames())
        for (const std::uint16_t locale : source.Locales(name))
            scanMember(source, std::string(name), locale);
}

void MapProcessor::scanMember(SourceMap& source, const std::string& name, std::uint16_t locale) {
    std::string data;
    if (!source.ReadMember(name, data, locale))
        return;
    ScannedMember member{LocaleLabel(name, locale), 0, {}};
    member.References = ForEachReferenceNumber(
        data, [&](std::int32_t number) { member.Numbers.push_back(number); });
    if (member.References == 0)
        return;
    std::sort(member.Numbers.begin(), member.Numbers.end());
    member.Numbers.erase(std::unique(member.Numbers.begin(), member.Numbers.end()),
                         member.Numbers.end());
    OtherMembers.push_back(std::move(member));
}

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

void MapProcessor::extractScript(SourceMap& source) {
    MapFileSlot& script = MapFiles[0];
    for (const bool inFolder : {false, true}) {
        ScriptInScriptsFolder = inFolder;
        const std::string name(inFolder ? kScriptInFolderName : kScriptName);
        script.Present = source.ReadMember(name, script.Data);
        if (script.Present) {
            logResult("Extracted " + name + sizeNote(script.Data));
            return;
        }
    }
    ScriptInScriptsFolder = false;
    logResult("war3map.j not found inside map");
}

} // namespace parlune
