#pragma once

// A member as the inliner leaves it: its bytes as extracted with each replacement's text in
// place of the reference it replaced, read front to back in pieces. The texts are made from
// the strings' lines only here, as the member is read.

#include "processing/RunState.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace parlune {

// The length of a string's plain text: its lines joined by CR LF.
std::size_t PlainTextLength(const LineList& lines);

// The length of the script's text of a string: the plain text escaped to stand inside a
// string literal (backslashes doubled, double quotes preceded by a backslash, every CR LF
// written as the four characters \r\n).
std::size_t ScriptTextLength(const LineList& lines);

// The plain or the script's text of a string. A single line that needs no escaping is
// handed out as it stands; any other text is made in scratch.
std::string_view InlinedText(const LineList& lines, bool script, std::string& scratch);

// The size of the member with its replacements made.
inline std::uint64_t InlinedSize(const MapFileSlot& slot) {
    std::uint64_t size = slot.Data.size();
    for (const Replacement& replacement : slot.Replacements)
        size = size - replacement.Length + replacement.TextLength;
    return size;
}

// Hands the member's bytes with its replacements made to take, front to back: stretches of
// Data and inserted texts, some of them empty. strings are the run's InlinedStrings. Stops as
// soon as take returns false and returns whether every piece was taken.
template <typename Take>
bool ForEachPiece(const MapFileSlot& slot, const std::vector<LineList>& strings, Take&& take) {
    const std::string_view data = slot.Data;
    std::string scratch;
    std::size_t at = 0;
    for (const Replacement& replacement : slot.Replacements) {
        if (!take(data.substr(at, replacement.Offset - at)))
            return false;
        if (replacement.TextLength > 0 &&
            !take(InlinedText(strings[replacement.String], slot.ScriptTexts, scratch)))
            return false;
        at = replacement.Offset + replacement.Length;
    }
    return take(data.substr(at));
}

} // namespace parlune
