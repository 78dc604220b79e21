#include "processing/MapWriter.h"

#include "processing/InlinedText.h"
#include "processing/MapMembers.h"
#include "processing/ProcessingError.h"

namespace parlune {

MapWriter::MapWriter(std::unique_ptr<TargetArchive> target) : target(std::move(target)) {
    try {
        attributesFound = this->target->Remove(std::string(kAttributesName), 0);
    } catch (const ProcessingError&) {
        attributesStay = true;
    }
}

bool MapWriter::AttributesRemoved() const {
    if (attributesStay)
        ThrowRemoveFailure(std::string(kAttributesName));
    return attributesFound;
}

MapWriter::TableOutcome MapWriter::StoreTable(const std::string& name, std::uint16_t locale,
                                              const std::string& data) {
    if (data.empty())
        return target->Remove(name, locale) ? TableOutcome::Removed : TableOutcome::Absent;
    target->Store(name, locale, data.size(), [&](const PieceWriter& write) { return write(data); });
    return TableOutcome::Added;
}

// The member goes to the archive piece by piece, so that it never needs a buffer of its own
// with the replacements made.
std::uint64_t MapWriter::StoreMember(const std::string& name, const MapFileSlot& slot,
                                     const InlinedStringTable& strings, bool removeFirst) {
    if (removeFirst)
        target->Remove(name, 0);
    const std::uint64_t size = InlinedSize(slot, strings);
    target->Store(name, 0, size,
                  [&](const PieceWriter& write) { return ForEachPiece(slot, strings, write); });
    return size;
}

} // namespace parlune
