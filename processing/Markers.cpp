#include "processing/Markers.h"

#include <limits>

namespace parlune {

std::optional<std::int32_t> ReferenceNumber(std::string_view digits) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char digit : digits) {
        value = value * 10 + static_cast<unsigned>(digit - '0');
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
            return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::size_t MarkerStartAtEnd(std::string_view text) {
    if (text.empty() || !HasMarkerRole(text.back(), kEndsMarkerStart))
        return 0;
    for (std::size_t length = std::min(kReferenceMarker.size() - 1, text.size()); length > 0;
         --length)
        if (text.ends_with(kReferenceMarker.substr(0, length)))
            return length;
    return 0;
}

} // namespace parlune
