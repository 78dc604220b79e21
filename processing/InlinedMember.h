#pragma once

// A member as the inliner leaves it: its bytes as extracted with each replacement's text in
// place of the reference it replaced, read front to back in pieces.

#include "processing/RunState.h"

#include <cstdint>
#include <string_view>

namespace parlune {

// The size of the member with its replacements made.
inline std::uint64_t InlinedSize(const MapFileSlot& slot) {
    std::uint64_t size = slot.Data.size();
    for (const Replacement& replacement : slot.Replacements)
        size = size - replacement.Length + replacement.TextLength;
    return size;
}

// Hands the member's bytes with its replacements made to take, front to back: stretches of
// Data and inserted texts, some of them empty. Stops as soon as take returns false and
// returns whether every piece was taken.
template <typename Take>
bool ForEachPiece(const MapFileSlot& slot, std::string_view texts, Take&& take) {
    const std::string_view data = slot.Data;
    std::size_t at = 0;
    for (const Replacement& replacement : slot.Replacements) {
        if (!take(data.substr(at, replacement.Offset - at)) ||
            !take(texts.substr(replacement.TextOffset, replacement.TextLength)))
            return false;
        at = replacement.Offset + replacement.Length;
    }
    return take(data.substr(at));
}

} // namespace parlune
