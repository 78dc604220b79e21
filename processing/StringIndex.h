#pragma once

// The look-ups the reference inliner works with: the first entry of each string number, and
// the lengths and edges of the texts that can replace a reference, measured once per inlining
// so that every reference costs constant time whatever the size of the table.

#include "processing/Markers.h"
#include "processing/NumberTable.h"
#include "processing/RunState.h"
#include "processing/TWTSEntry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace parlune {

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

} // namespace parlune
