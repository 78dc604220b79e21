#include "processing/Extraction.h"

#include "processing/MapMembers.h"
#include "processing/MapSource.h"
#include "processing/MarkerSearch.h"
#include "processing/ProcessingError.h"
#include "processing/StringTable.h"

#include <unordered_set>

namespace parlune {

namespace {

// The names the rewritten members may stand under, in the order of the members.
std::vector<std::string_view> rewrittenMemberNames() {
    std::vector<std::string_view> names = {kScriptName, kScriptInFolderName};
    names.insert(names.end(), kMapFileNames.begin() + 1, kMapFileNames.end());
    return names;
}

std::string sizeNote(const std::string& data) {
    return " (" + std::to_string(data.size()) + " bytes)";
}

class Extraction {
public:
    Extraction(RunState& state, const ExtractionReport& report)
        : state(state), report(report), source(OpenMapSource(state.SourcePath)) {}

    void Run() {
        if (!source->ReadMember(kStringTableName, state.StringTableData))
            throw ProcessingError(kTableMissingFailure);
        report("Extracted war3map.wts" + sizeNote(state.StringTableData));
        const std::vector<std::string> listed = source->ListedNames();
        extractLocaleTables(listed);
        extractScript();
        extractOtherRewrittenMembers();
        // Read without a report: these members are only scanned for the strings they need.
        for (std::size_t i = 0; i < kScannedFileCount; ++i) {
            MapFileSlot& slot = state.ScannedFiles[i];
            slot.Present = source->ReadMember(kScannedFileNames[i], slot.Data);
        }
        scanOtherMembers(listed);
    }

private:
    void extractLocaleTables(const std::vector<std::string>& listed) {
        state.LocaleTables.clear();
        for (const std::uint16_t locale : source->Locales(kStringTableName))
            extractLocaleTable(std::string(kStringTableName), locale);
        for (const std::string& name : LocaleFolderTableNames(listed))
            extractLocaleTable(name, 0);
    }

    void extractLocaleTable(const std::string& name, std::uint16_t locale) {
        std::string data;
        if (!source->ReadMember(name, data, locale))
            return;
        const std::string label = LocaleLabel(name, locale);
        report("Extracted " + label + sizeNote(data));
        LocaleTable table{name, locale, false, {}};
        // A table that ends before its first line fails to parse, as the root table would.
        if (!data.starts_with('\0')) {
            LineList lines = SplitTableLines(data, label);
            ParsedTable parsed = ParseTableLines(lines);
            table.Readable = !parsed.Failure;
            table.Entries = std::move(parsed.Entries);
        }
        if (!table.Readable) {
            report(label + " cannot be read; its strings are kept");
            table.Entries.clear();
        }
        state.LocaleTables.push_back(std::move(table));
    }

    void extractScript() {
        MapFileSlot& script = state.MapFiles[0];
        for (const bool inFolder : {false, true}) {
            state.ScriptInScriptsFolder = inFolder;
            const std::string name(ScriptMemberName(inFolder));
            script.Present = source->ReadMember(name, script.Data);
            if (script.Present) {
                report("Extracted " + name + sizeNote(script.Data));
                return;
            }
        }
        state.ScriptInScriptsFolder = false;
        report("war3map.j not found inside map");
    }

    void extractOtherRewrittenMembers() {
        for (std::size_t i = 1; i < kMapFileCount; ++i) {
            const std::string name(kMapFileNames[i]);
            MapFileSlot& slot = state.MapFiles[i];
            slot.Present = source->ReadMember(name, slot.Data);
            if (slot.Present)
                report("Extracted " + name + sizeNote(slot.Data));
            else if (i < kReportedFileCount)
                report(name + " not found inside map");
        }
    }

    // Every member the run does not rewrite may hold references; the strings they name must
    // stay.
    void scanOtherMembers(const std::vector<std::string>& listed) {
        state.OtherMembers.clear();
        std::unordered_set<std::string> handled;
        for (const std::string_view name : kMapFileNames)
            handled.insert(MemberNameKey(name));
        if (state.ScriptInScriptsFolder)
            handled.insert(MemberNameKey(kScriptInFolderName));
        for (const std::string_view name : kScannedFileNames)
            handled.insert(MemberNameKey(name));
        handled.insert(MemberNameKey(kStringTableName));
        const auto scan = [&](const std::string& name) {
            if (!HoldsNoReferences(name) && LocaleFolderCode(name).empty() &&
                handled.insert(MemberNameKey(name)).second)
                scanMember(name, 0);
        };
        for (const std::string& name : listed)
            scan(name);
        for (const std::string_view name : kKnownMemberNames)
            scan(std::string(name));
        // The entries for other locales of the rewritten members stay as they are.
        for (const std::string_view name : rewrittenMemberNames())
            for (const std::uint16_t locale : source->Locales(name))
                scanMember(std::string(name), locale);
    }

    void scanMember(const std::string& name, std::uint16_t locale) {
        std::string data;
        if (!source->ReadMember(name, data, locale))
            return;
        ScannedMember member{LocaleLabel(name, locale), ReferencesIn(data)};
        if (!member.References.empty())
            state.OtherMembers.push_back(std::move(member));
    }

    RunState& state;
    const ExtractionReport& report;
    std::unique_ptr<MapSource> source;
};

} // namespace

void ExtractMembers(RunState& state, const ExtractionReport& report) {
    Extraction(state, report).Run();
}

} // namespace parlune
