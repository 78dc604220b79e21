#pragma once

// A member as the inliner leaves it: its bytes as extracted with each replacement's text in
// place of the reference it replaced, read front to back in pieces. The texts are made from
// the strings' lines only here, as the member is read.

#include "processing/Markers.h"
#include "processing/RunState.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace parlune {

// The length of a string's plain text: its lines joined by CR LF.
std::size_t PlainTextLength(const LineList& lines);

// The length of the JASS script's text of a string: the plain text escaped to stand inside a
// string literal (backslashes doubled, double quotes preceded by a backslash, every CR LF
// written as the four characters \r\n).
std::size_t ScriptTextLength(const LineList& lines);

// The length of the Lua script's text of a string: the plain text escaped to stand inside a
// short literal of either quote (backslash, both quotes, CR and LF escaped by a backslash and
// a character, every other byte below 0x20 and 0x7F as a backslash and exactly three decimal
// digits, so that a digit after it never joins it; bytes from 0x80 up as they are).
std::size_t LuaTextLength(const LineList& lines);

// The length of a string's text in form.
std::size_t TextLength(const LineList& lines, TextForm form);

// The text of a string in form. A single line that needs no escaping is handed out as it
// stands; any other text is made in scratch.
std::string_view InlinedText(const LineList& lines, TextForm form, std::string& scratch);

// The bytes a replacement takes out of the member: its marker and all the digits after it.
inline std::size_t ReplacedLength(std::string_view data, const Replacement& replacement) {
    return kReferenceMarker.size() + DigitsAfterMarker(data, replacement.Offset).size();
}

// The size of the member with its replacements made.
inline std::uint64_t InlinedSize(const MapFileSlot& slot, const InlinedStringTable& strings) {
    std::uint64_t size = slot.Data.size();
    for (const Replacement& replacement : slot.Replacements)
        size = size - ReplacedLength(slot.Data, replacement) +
               strings.TextLength(replacement.Entry, slot.Form);
    return size;
}

// Hands the member's bytes with its replacements made to take, front to back: stretches of
// Data and inserted texts, some of them empty. strings are the run's InlinedStrings. Stops as
// soon as take returns false and returns whether every piece was taken.
template <typename Take>
bool ForEachPiece(const MapFileSlot& slot, const InlinedStringTable& strings, Take&& take) {
    const std::string_view data = slot.Data;
    std::string scratch;
    std::size_t at = 0;
    for (const Replacement& replacement : slot.Replacements) {
        if (!take(data.substr(at, replacement.Offset - at)))
            return false;
        if (strings.TextLength(replacement.Entry, slot.Form) > 0 &&
            !take(InlinedText(strings.Entries[replacement.Entry].Lines, slot.Form, scratch)))
            return false;
        at = replacement.Offset + ReplacedLength(data, replacement);
    }
    return take(data.substr(at));
}

} // namespace parlune
