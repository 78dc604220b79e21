#pragma once

#include "archive/Kestmarlapi.h"
#include "processing/Inliner.h"
#include "processing/RunState.h"

#include <cstdint>
#include <string>

namespace parlune {

// What the processing needs of the program that hosts it: the window, the command-line
// front end or a test.
class ProcessingHost {
public:
    virtual ~ProcessingHost() = default;

    // Reports one log line. The window repaints and handles input here.
    virtual void Log(const std::string& text) = 0;
    // Enables or disables the controls that could start or alter a run.
    virtual void EnableRunControls(bool enabled) = 0;
    // "Debug output": write the detail lines too.
    virtual bool Verbose() const = 0;
    // "Do not compact": skip the final compaction of the new map.
    virtual bool NoCompact() const = 0;
    // Progress of the compaction, which can take long; bytes done of the total.
    virtual void CompactionProgress(std::uint64_t done, std::uint64_t total) {
        (void)done;
        (void)total;
    }
};

// The run and its operations over the run state. The window derives from this class, so
// these operations are its own; the command-line front end and the tests host it too.
class MapProcessor : public ProcessingHost, public RunState {
public:
    // One complete run from the source map to the target map. The run controls are disabled
    // for its duration and enabled again on every way out; a failure leaves as a
    // ProcessingError after that.
    void ProcessButtonClick();

    // Reads StringTableData into StringTableLines.
    void LoadStringTable();
    // Builds Entries from StringTableLines and empties StringTableLines.
    void ParseStringTable();
    // Replaces the references in the eight rewritten members by the strings' texts where that
    // is allowed, then removes from Entries every string that no reference left in place
    // needs, in any member the map has. The replacements are recorded in the members' slots,
    // and the table as it stood, with the lengths of the texts, goes to InlinedStrings; the
    // map writer makes the texts.
    void InlineStrings();
    // Replaces StringTableData with the serialised Entries (empty when there are none).
    void WriteStringTable();
    // Writes the new map to TargetPath: a copy of the source map with the new table and the
    // present members stored, "(attributes)" removed and, unless NoCompact, compacted. The
    // target is replaced only when all of it succeeded; on failure every file stays as it was.
    void WriteMap();

private:
    void runPhases();
    void extractFiles();
    // Records the replacements of one member's references and adds the numbers of the
    // references it keeps to retained.
    void InlineIntoFile(std::string_view name, MapFileSlot& slot, StringIndex& index,
                        RetainedIds& retained);
    // Takes the numbers the members that are never rewritten refer to, then releases them.
    void keepScannedReferences(RetainedIds& retained);
    void pruneEntries(const StringIndex& index, const RetainedIds& retained);
    // Stores a present member, its replacements made, in the open new map and releases it.
    void AddToMap(Kestmarlapi::ArchiveHandle archive, const std::string& name, MapFileSlot& slot);
    void compactMap(Kestmarlapi::ArchiveHandle archive);
};

} // namespace parlune
