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

// Where a text made for a string stands among the run's inlined texts. A text of kInlineLimit
// bytes or more is never inserted, so only its length is kept, as kInlineLimit.
struct TextSpan {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    bool made = false;
};

// Finds the first entry of each string number, as a scan from the front of the list would,
// and makes the two texts that can replace a reference to a string: plain, its lines joined
// by CR LF; and for the map script, escaped to stand inside a string literal (backslashes
// doubled, double quotes preceded by a backslash, every CR LF written as the four characters
// \r\n). A text is made only once a reference asks for it, and the texts asked for are made
// in the order of the table, which reads the entries front to back.
//
// The entries must stay unchanged while the index is in use; the texts are appended to the
// string given, which must outlive the replacements that point into it.
class StringIndex {
public:
    static constexpr std::uint32_t kNotFound = 0xFFFFFFFF;

    StringIndex(const std::vector<TWTSEntry>& entries, std::string& textStore);
    StringIndex(const StringIndex&) = delete;
    StringIndex& operator=(const StringIndex&) = delete;

    // The place of the first entry with this number, or kNotFound.
    std::uint32_t Find(std::int32_t id) const;
    const TWTSEntry& Entry(std::uint32_t place) const { return *entries[place]; }

    // Asks for the script's or the other members' text of the string at place.
    void Request(std::uint32_t place, bool script);
    // Makes every text asked for since the last call that is not made yet.
    void MakeRequestedTexts();
    // A text asked for before the last MakeRequestedTexts.
    TextSpan Text(std::uint32_t place, bool script) const;

private:
    // Open addressing with linear probing; position is one more than the place in entries,
    // or 0 for an empty slot.
    struct Slot {
        std::int32_t id;
        std::uint32_t position;
    };
    static constexpr std::uint8_t kPlainRequested = 1;
    static constexpr std::uint8_t kScriptRequested = 2;

    // The plain text and the escaped one together are at most this many times as long as
    // the plain text: escaping doubles every byte at most.
    static constexpr std::size_t kMostBytesOfBoth = 3;

    std::size_t slotOf(std::int32_t id) const;
    void reserveTexts();
    TextSpan makeText(const TWTSEntry& entry, bool script);

    std::vector<const TWTSEntry*> entries;
    std::vector<TextSpan> plainTexts;
    std::vector<TextSpan> scriptTexts;
    std::vector<std::uint8_t> requests;
    std::vector<Slot> slots;
    unsigned shift = 0;
    std::string& texts;
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
