#pragma once

#include "processing/RunState.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace parlune {

class Inliner;
class MapWriter;
class SummaryBuilder;
class TargetArchive;

// How far a log line of a run is indented: a phase's first line, a result of the phase, and a
// detail line, written only with "Debug output".
enum class LogLevel { Step, Result, Detail };

// What the processing needs of the program that hosts it: the window, the command-line
// front end or a test.
class ProcessingHost {
public:
    virtual ~ProcessingHost() = default;

    // Reports one log line. The window repaints and handles input here.
    virtual void Log(const std::string& text) = 0;
    // Reports a line of a run, indented for its level. Hosts that treat the levels alike take
    // every line through Log.
    virtual void LogAtLevel(LogLevel level, const std::string& text) {
        (void)level;
        Log(text);
    }
    // Enables or disables the controls that could start or alter a run.
    virtual void EnableRunControls(bool enabled) = 0;
    // "Debug output": write the detail lines too.
    virtual bool Verbose() const = 0;
    // "Do not compact": skip the final compaction of the new map.
    virtual bool NoCompact() const = 0;
    // Whether the run fills its Summary for a report.
    virtual bool Summarise() const { return false; }
    // Whether the run stops before writing anything: a dry run.
    virtual bool DryRun() const { return false; }
    // Whether a map with no strings to inline is copied to the target as it is.
    virtual bool CopyUnchanged() const { return false; }
    // Progress of the compaction, which can take long; bytes done of the total.
    virtual void CompactionProgress(std::uint64_t done, std::uint64_t total) {
        (void)done;
        (void)total;
    }
};

// The run and its operations over the run state. The window derives from this class, so
// these operations are its own; the command-line front end and the tests host it too. Each
// operation calls the unit of its phase and logs what the unit did.
class MapProcessor : public ProcessingHost, public RunState {
public:
    // One complete run from the source map to the target map. The run controls are disabled
    // for its duration and enabled again on every way out; a failure leaves as a
    // ProcessingError after that.
    void Run();

    // Reads StringTableData into StringTableLines.
    void LoadStringTable();
    // Builds Entries from StringTableLines and empties StringTableLines.
    void ParseStringTable();
    // Replaces the references in the rewritten members by the strings' texts where that is
    // allowed, then removes from Entries every string that no reference left in place
    // needs, in any member the map has, and the same strings from the translated tables. The
    // replacements and the references kept are recorded in the members' slots, and the table
    // as it stood, with the lengths of the texts, goes to InlinedStrings; the map writer makes
    // the texts. After a failure the replacements recorded so far name entries of Entries,
    // which is left as it was.
    void InlineStrings();
    // Replaces StringTableData with the serialised Entries (empty when there are none).
    void WriteStringTable();
    // Writes the new map to TargetPath: a copy of the source map with the new tables and the
    // present members stored, "(attributes)" removed and, unless NoCompact, compacted. The
    // target is replaced only when all of it succeeded; on failure every file stays as it was.
    void WriteMap();

    // Decides the references of one rewritten member and logs the outcome.
    void InlineIntoFile(std::string_view name, MapFileSlot& slot, Inliner& inliner);
    // Stores a present member, its replacements made, in the new map and releases its bytes.
    void AddToMap(MapWriter& writer, const std::string& name, MapFileSlot& slot);

protected:
    // The archive the new map is written through.
    virtual std::unique_ptr<TargetArchive> openTarget();
    // The run's log lines, each indented for its level.
    void logStep(const std::string& text);
    void logResult(const std::string& text);
    void logDetail(const std::string& text);

private:
    void runPhases();
    void copyUnchangedMap();
    void logDecisions(const std::string& name, const MapFileSlot& slot);
    void logKept(std::size_t count, std::string_view name);
    // Keeps the strings that the members that are never rewritten name, and releases them.
    void keepScannedReferences(Inliner& inliner, SummaryBuilder* summary);
    void storeTables(MapWriter& writer);
    void storeTable(MapWriter& writer, const std::string& name, std::uint16_t locale,
                    const std::string& data);
    void compactMap(MapWriter& writer);
};

} // namespace parlune
