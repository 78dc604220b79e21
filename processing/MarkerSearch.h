#pragma once

// The search for reference markers, which every member the run reads goes through.

#include "processing/Markers.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace parlune {

// Where the first reference marker at or after from starts in data, or npos.
std::size_t FindReferenceMarker(std::string_view data, std::size_t from);

// Hands take the offset and the number of every well-formed reference in data, front to back,
// and returns how many there were. Markers without digits or out of range are skipped: nothing
// is replaced here.
template <typename Take> std::size_t ForEachReference(std::string_view data, Take&& take) {
    std::size_t count = 0;
    for (std::size_t at = FindReferenceMarker(data, 0); at != std::string_view::npos;) {
        const std::string_view digits = DigitsAfterMarker(data, at);
        if (const std::optional<std::int32_t> number = ReferenceNumber(digits)) {
            take(at, *number);
            ++count;
        }
        at = FindReferenceMarker(data, at + kReferenceMarker.size() + digits.size());
    }
    return count;
}

// The well-formed references in data, front to back. Members are capped far below 4 GiB, so
// every offset fits.
inline std::vector<ReferenceAt> ReferencesIn(std::string_view data) {
    std::vector<ReferenceAt> references;
    ForEachReference(data, [&](std::size_t at, std::int32_t number) {
        references.push_back({static_cast<std::uint32_t>(at), number});
    });
    return references;
}

} // namespace parlune
