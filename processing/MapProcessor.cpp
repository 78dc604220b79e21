#include "processing/MapProcessor.h"

#include "processing/ProcessingError.h"
#include "processing/SourceMap.h"

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
