#pragma once

// The look-ups the reference inliner works with, built once per inlining so that every
// reference costs constant time whatever the size of the table.

#include "processing/NumberTable.h"
#include "processing/RunState.h"
#include "processing/TWTSEntry.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlune {

// The eight bytes every reference marker begins with; the string number's digits follow.
inline constexpr std::string_view kReferenceMarker = "TRIGSTR_";

// Where the first reference marker at or after from starts in data, or npos.
std::size_t FindReferenceMarker(std::string_view data, std::size_t from);

// A text of this many bytes or more is never inlined: the game crashes on loading a
// member into which a longer string was inlined.
inline constexpr std::size_t kInlineLimit = 1024;

// What the inliner must know of a string's text to keep the markers around it as they are.
// The texts of all forms agree on all of it: escaping touches no byte of a marker or a digit,
// and every escape it writes begins with a backslash, which no marker holds, so the digits of
// a Lua escape can never be a marker's.
struct TextEdges {
    bool holdsMarker = false;
    bool startsWithDigit = false;
    // How many bytes of a marker's start the text ends with.
    std::uint8_t markerStartAtEnd = 0;
};

TextEdges MeasureTextEdges(const LineList& lines);

// The length of the longest proper prefix of the reference marker that text ends with.
std::size_t MarkerStartAtEnd(std::string_view text);

// The numbers of the strings that some reference left in place still needs. The table keeps
// exactly the strings whose numbers are in here.
class RetainedIds {
public:
    void insert(std::int32_t id) { numbers.Add(id, 1); }
    bool contains(std::int32_t id) const { return numbers.Get(id) != 0; }
    std::size_t size() const { return numbers.Size(); }

private:
    NumberTable numbers;
};

// Finds the first entry of each string number, as a scan from the front of the list would,
// and measures the texts that can replace a reference to a string in each form (plain, its
// lines joined by CR LF; or escaped to stand inside a string literal of a script). Their
// edges, which all forms share, are measured with them. A text is measured only once a
// reference asks for it, and the texts asked for are measured in the order of the table,
// which reads the entries front to back. A string's place is the position of its number's
// first entry.
//
// The entries must stay in place while the index is in use.
class StringIndex {
public:
    static constexpr std::uint32_t kNotFound = kMissingString;

    explicit StringIndex(const std::vector<TWTSEntry>& entries);
    StringIndex(const StringIndex&) = delete;
    StringIndex& operator=(const StringIndex&) = delete;

    // The place of the first entry with this number, or kNotFound.
    std::uint32_t Find(std::int32_t id) const;
    // Starts reading the index's memory for a Find of this number soon after.
    void Prefetch(std::int32_t id) const {
        if (!numbersInRange())
            placesById.Prefetch(id);
        else if (const std::uint64_t offset = rangeOffset(id); offset < placesByNumber.size())
            __builtin_prefetch(placesByNumber.data() + offset);
    }
    const TWTSEntry& Entry(std::uint32_t place) const { return table[place]; }

    // Asks for the length of the text in form of the string at place.
    void Request(std::uint32_t place, TextForm form) { marks[place] |= requestedMark(form); }
    // Measures every text asked for since the last call that is not measured yet.
    void MeasureRequestedTexts();
    // The length of a text asked for before the last MeasureRequestedTexts; a text of
    // kInlineLimit bytes or more, which is never inserted, gives kInlineLimit.
    std::size_t TextLength(std::uint32_t place, TextForm form) const {
        return lengths[static_cast<std::size_t>(form)][place];
    }

    // The edges of the text of a string whose length was asked for.
    const TextEdges& Edges(std::uint32_t place) const { return edges[place]; }

    // Hands the lengths measured over, by place; the index measures nothing after this.
    void HandOverLengths(InlinedStringTable& strings) { strings.Lengths = std::move(lengths); }

    // Notes that a replacement inserts the text of the string at place.
    void MarkInserted(std::uint32_t place) { marks[place] |= kInserted; }
    bool Inserted(std::uint32_t place) const { return (marks[place] & kInserted) != 0; }

private:
    // The marks of the texts asked for take the lowest bit of each form.
    static constexpr std::uint8_t kRequested = (1 << kTextFormCount) - 1;
    static constexpr std::uint8_t kInserted = 1 << kTextFormCount;
    static constexpr std::uint8_t kEdgesMeasured = kInserted << 1;
    static constexpr std::uint16_t kUnmeasured = 0xFFFF;

    static std::uint8_t requestedMark(TextForm form) {
        return static_cast<std::uint8_t>(1 << static_cast<unsigned>(form));
    }

    void measure(std::uint32_t place);
    bool numbersInRange() const { return !placesByNumber.empty(); }
    // Where id stands in the range of the table's numbers; past its end for numbers outside it.
    std::uint64_t rangeOffset(std::int32_t id) const {
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(id) - lowestId);
    }
    void placeNumbersInRange();

    const std::vector<TWTSEntry>& table;
    std::array<std::vector<std::uint16_t>, kTextFormCount> lengths;
    std::vector<TextEdges> edges;
    std::vector<std::uint8_t> marks;
    // One more than the place of each number: by its offset from the lowest number when the
    // table's numbers fill at least half of their range, as the numbers a map editor gives
    // do, otherwise in a hash table.
    std::int64_t lowestId = 0;
    std::vector<std::uint32_t> placesByNumber;
    NumberTable placesById;
};

// The digits right after a reference marker at offset markerStart: the run of decimal digit
// bytes up to the first other byte or the end of data, possibly empty.
inline std::string_view DigitsAfterMarker(std::string_view data, std::size_t markerStart) {
    const std::size_t begin = std::min(markerStart + kReferenceMarker.size(), data.size());
    std::size_t end = begin;
    while (end < data.size() && data[end] >= '0' && data[end] <= '9')
        ++end;
    return data.substr(begin, end - begin);
}

// The number that a run of digits names, leading zeros aside; nothing when the run is empty
// or its value lies above 2147483647.
std::optional<std::int32_t> ReferenceNumber(std::string_view digits);

// Where the references of a Lua script stand, as far as inlining into it is concerned.
struct LuaPlaces {
    // For each reference, in the order given: whether its marker stands inside a short string
    // literal where a text may take its place.
    std::vector<bool> Replaceable;
    // Where the construct starts that the scanner could not follow to its end (a string or
    // comment left open); the script is then left as it is.
    std::optional<std::size_t> Unterminated;
};

// Finds the places of the references at offsets, front to back, in a Lua script. A marker in
// a literal that also holds a marker without a number (at one of unreadable, front to back),
// or right after an escape that the text could lengthen, is not replaceable.
LuaPlaces PlaceLuaReferences(std::string_view script, const std::vector<Replacement>& references,
                             const std::vector<std::uint32_t>& unreadable);

// Hands take the number of every well-formed reference in data, front to back, and returns
// how many there were. Markers without digits or out of range are skipped: nothing is replaced
// here.
template <typename Take> std::size_t ForEachReferenceNumber(std::string_view data, Take&& take) {
    std::size_t count = 0;
    for (std::size_t at = FindReferenceMarker(data, 0); at != std::string_view::npos;) {
        const std::string_view digits = DigitsAfterMarker(data, at);
        if (const std::optional<std::int32_t> number = ReferenceNumber(digits)) {
            take(*number);
            ++count;
        }
        at = FindReferenceMarker(data, at + kReferenceMarker.size() + digits.size());
    }
    return count;
}

// Adds the number of every well-formed reference in data to retained and returns how many
// there were.
std::size_t KeepReferencedStrings(std::string_view data, RetainedIds& retained);

// Whether a Lua script is a precompiled chunk, which the game loads as it is: its first byte,
// after a byte-order mark and a first line starting with "#" that the loader skips, is ESC.
bool IsPrecompiledLua(std::string_view script);

} // namespace parlune
