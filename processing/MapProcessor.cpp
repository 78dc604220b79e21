#include "processing/MapProcessor.h"

#include "processing/MemberExtraction.h"

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

} // namespace

void MapProcessor::ProcessButtonClick() {
    RunControlsGuard controls(*this);
    runPhases();
}

void MapProcessor::runPhases() {
    extractFiles();
    LoadStringTable();
    ParseStringTable();
    if (Entries.empty()) {
        Log("No strings to inline");
        return;
    }
    InlineStrings();
    WriteStringTable();
    WriteMap();
}

void MapProcessor::extractFiles() {
    Log("Extracting files from map...");
    SourceMap source(SourcePath);
    if (!source.ReadMember(kStringTableName, StringTableData))
        throw ProcessingError("war3map.wts not found inside map!");
    Log("     Extracted war3map.wts (" + std::to_string(StringTableData.size()) + " bytes)");

    MapFileSlot& script = MapFiles[0];
    script.Present = true;
    if (source.ReadMember(kScriptName, script.Data)) {
        ScriptInScriptsFolder = false;
        Log("     Extracted war3map.j (" + std::to_string(script.Data.size()) + " bytes)");
    } else if (source.ReadMember(kScriptInFolderName, script.Data)) {
        ScriptInScriptsFolder = true;
        Log("     Extracted Scripts\\war3map.j (" + std::to_string(script.Data.size()) + " bytes)");
    } else {
        script.Present = false;
        Log("     war3map.j not found inside map");
    }

    for (std::size_t i = 1; i < kMapFileCount; ++i) {
        const std::string name(kMapFileNames[i]);
        MapFileSlot& slot = MapFiles[i];
        slot.Present = source.ReadMember(name, slot.Data);
        if (slot.Present)
            Log("     Extracted " + name + " (" + std::to_string(slot.Data.size()) + " bytes)");
        else
            Log("     " + name + " not found inside map");
    }

    // Read without a report: these members are only scanned for the strings they need.
    for (std::size_t i = 0; i < kScannedFileCount; ++i) {
        MapFileSlot& slot = ScannedFiles[i];
        slot.Present = source.ReadMember(kScannedFileNames[i], slot.Data);
    }
}

} // namespace parlune
