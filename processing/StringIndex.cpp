#include "processing/StringIndex.h"

#include "processing/InlinedText.h"

#include <algorithm>

namespace parlune {

namespace {

// Every length from kInlineLimit up says the same: too long to be inserted. So 16 bits hold
// every length kept.
std::uint16_t capped(std::size_t length) {
    return static_cast<std::uint16_t>(std::min(length, kInlineLimit));
}

void prefetchFirstLine(const LineList& lines) {
    if (!lines.empty())
        __builtin_prefetch(lines.front().data());
}

} // namespace

StringIndex::StringIndex(const std::vector<TWTSEntry>& entries) : table(entries) {
    placeNumbersInRange();
    // A later entry with the same number is never found, as in a scan from the front.
    if (!numbersInRange())
        for (std::size_t place = 0; place < entries.size(); ++place)
            placesById.Add(entries[place].Id, static_cast<std::uint32_t>(place + 1));
    for (std::vector<std::uint16_t>& formLengths : lengths)
        formLengths.assign(entries.size(), kUnmeasured);
    edges.assign(entries.size(), {});
    marks.assign(entries.size(), 0);
}

void StringIndex::placeNumbersInRange() {
    if (table.empty())
        return;
    const auto [lowest, highest] =
        std::minmax_element(table.begin(), table.end(),
                            [](const TWTSEntry& a, const TWTSEntry& b) { return a.Id < b.Id; });
    const auto range = static_cast<std::uint64_t>(static_cast<std::int64_t>(highest->Id) -
                                                  static_cast<std::int64_t>(lowest->Id)) +
                       1;
    if (range > 2 * static_cast<std::uint64_t>(table.size()))
        return;
    lowestId = lowest->Id;
    placesByNumber.assign(range, 0);
    for (std::size_t place = table.size(); place-- > 0;)
        placesByNumber[rangeOffset(table[place].Id)] = static_cast<std::uint32_t>(place + 1);
}

std::uint32_t StringIndex::Find(std::int32_t id) const {
    std::uint32_t position = 0;
    if (!numbersInRange())
        position = placesById.Get(id);
    else if (const std::uint64_t offset = rangeOffset(id); offset < placesByNumber.size())
        position = placesByNumber[offset];
    return position == 0 ? kNotFound : position - 1;
}

void StringIndex::MeasureRequestedTexts() {
    std::vector<std::uint32_t> pending;
    for (std::uint32_t place = 0; place < table.size(); ++place)
        if ((marks[place] & kRequested) != 0)
            pending.push_back(place);
    // The lines of the strings lie all over the heap. Reading ahead lets their memory arrive
    // while the strings before are measured: first a string's list of lines, then its first line.
    constexpr std::size_t kListsAhead = 16;
    constexpr std::size_t kLinesAhead = 8;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (i + kListsAhead < pending.size())
            __builtin_prefetch(table[pending[i + kListsAhead]].Lines.data());
        if (i + kLinesAhead < pending.size())
            prefetchFirstLine(table[pending[i + kLinesAhead]].Lines);
        measure(pending[i]);
    }
}

void StringIndex::measure(std::uint32_t place) {
    std::vector<std::uint16_t>& plainLengths = lengths[static_cast<std::size_t>(TextForm::Plain)];
    const std::uint8_t requested = marks[place] & kRequested;
    const LineList& lines = table[place].Lines;
    if ((marks[place] & kEdgesMeasured) == 0)
        edges[place] = MeasureTextEdges(lines);
    marks[place] |= kEdgesMeasured;
    // The plain length costs next to nothing, and since escaping only ever adds bytes, a
    // plain text too long to be inserted is too long in every form.
    if (plainLengths[place] == kUnmeasured)
        plainLengths[place] = capped(PlainTextLength(lines));
    for (const TextForm form : {TextForm::Jass, TextForm::Lua}) {
        std::uint16_t& length = lengths[static_cast<std::size_t>(form)][place];
        if ((requested & requestedMark(form)) != 0 && length == kUnmeasured)
            length = plainLengths[place] == kInlineLimit ? plainLengths[place]
                                                         : capped(parlune::TextLength(lines, form));
    }
    marks[place] &= static_cast<std::uint8_t>(~kRequested);
}

TextEdges MeasureTextEdges(const LineList& lines) {
    TextEdges edges;
    if (lines.empty())
        return edges;
    // A marker never spans a line end.
    for (const std::string& line : lines)
        edges.holdsMarker = edges.holdsMarker || line.find(kReferenceMarker) != std::string::npos;
    const std::string& first = lines.front();
    edges.startsWithDigit = !first.empty() && first[0] >= '0' && first[0] <= '9';
    edges.markerStartAtEnd = static_cast<std::uint8_t>(MarkerStartAtEnd(lines.back()));
    return edges;
}

} // namespace parlune
