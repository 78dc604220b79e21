#pragma once

// Writes a run's results into the new map through a TargetArchive, one step a call. Each step
// says what it did; the run reports it.

#include "processing/RunState.h"
#include "processing/TargetArchive.h"

#include <cstdint>
#include <memory>
#include <string>

namespace parlune {

class MapWriter {
public:
    // Takes the new map as it was opened. "(attributes)" goes at once: the archive can lose it
    // only before any other change.
    explicit MapWriter(std::unique_ptr<TargetArchive> target);

    // Whether the map had "(attributes)". A map whose "(attributes)" stays fails here, where
    // the run reports the removal: the old member would describe members that changed.
    bool AttributesRemoved() const;

    enum class TableOutcome { Added, Removed, Absent };
    // Stores a string table as name in locale, or removes it when data is empty (Absent when
    // the map had no such table).
    TableOutcome StoreTable(const std::string& name, std::uint16_t locale, const std::string& data);

    // Stores a present member, its replacements made, as name and returns its size. A member
    // of that name is removed first when replacing is not enough: the script moved into the
    // Scripts folder is written anew there.
    std::uint64_t StoreMember(const std::string& name, const MapFileSlot& slot,
                              const InlinedStringTable& strings, bool removeFirst);

    // Rewrites the map without the space that removed and replaced members left; false when
    // that is not possible.
    bool Compact(const ProgressCall& progress) { return target->Compact(progress); }
    // Makes the new map the target.
    void Finish() { target->Finish(); }

private:
    std::unique_ptr<TargetArchive> target;
    bool attributesFound = false;
    bool attributesStay = false;
};

} // namespace parlune
