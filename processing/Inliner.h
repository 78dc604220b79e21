#pragma once

// The look-ups the reference inliner works with, built once per inlining so that every
// reference costs constant time whatever the size of the table.

#include "processing/TWTSEntry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace parlune {

// The eight bytes every reference marker begins with; the string number's digits follow.
inline constexpr std::string_view kReferenceMarker = "TRIGSTR_";

// A replacement of this many bytes or more is never inlined: the game crashes on loading a
// member into which a longer string was inlined.
inline constexpr std::size_t kInlineLimit = 1024;

// The numbers of the strings that some reference left in place still needs. The table keeps
// exactly the strings whose numbers are in here.
using RetainedIds = std::unordered_set<std::int32_t>;

// The first entry of a string number with the two texts that can replace a reference to it:
// plain, its lines joined by CR LF; and for the map script, escaped to stand inside a string
// literal (backslashes doubled, double quotes preceded by a backslash, every CR LF written as
// the four characters \r\n).
struct IndexedString {
    std::int32_t id = 0;
    const TWTSEntry* entry = nullptr;
    std::string_view plain;
    std::string_view script;
};

// Finds the first entry of each string number, as a scan from the front of the list would.
// The entries must stay unchanged while the index is in use.
class StringIndex {
public:
    explicit StringIndex(const std::vector<TWTSEntry>& entries);
    StringIndex(const StringIndex&) = delete;
    StringIndex& operator=(const StringIndex&) = delete;

    // The first entry with this number, or nothing when the table has none.
    const IndexedString* Find(std::int32_t id) const;

private:
    // Open addressing with linear probing; position is one more than the place in strings,
    // or 0 for an empty slot.
    struct Slot {
        std::int32_t id;
        std::uint32_t position;
    };

    std::size_t slotOf(std::int32_t id) const;
    void makeTexts();

    std::vector<IndexedString> strings;
    std::vector<Slot> slots;
    unsigned shift = 0;
    // The joined and escaped texts, one after another.
    std::string texts;
};

// The digits right after a reference marker at offset markerStart: the run of decimal digit
// bytes up to the first other byte or the end of data, possibly empty.
std::string_view DigitsAfterMarker(std::string_view data, std::size_t markerStart);

// The number that a run of digits names, leading zeros aside; nothing when the run is empty
// or its value lies above 2147483647.
std::optional<std::int32_t> ReferenceNumber(std::string_view digits);

// Adds the number of every well-formed reference in data to retained and returns how many
// there were. Markers without digits or out of range are skipped: nothing is replaced here.
std::size_t KeepReferencedStrings(std::string_view data, RetainedIds& retained);

} // namespace parlune
