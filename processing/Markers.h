#pragma once

// The reference marker: the eight bytes "TRIGSTR_" and the string number's digits after them,
// and the limit of a text that may take a marker's place. Everything that reads or writes
// markers builds on this.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace parlune {

// The eight bytes every reference marker begins with; the string number's digits follow.
inline constexpr std::string_view kReferenceMarker = "TRIGSTR_";

// A text of this many bytes or more is never inlined: the game crashes on loading a
// member into which a longer string was inlined.
inline constexpr std::size_t kInlineLimit = 1024;

// The digits right after a reference marker at offset markerStart: the run of decimal digit
// bytes up to the first other byte or the end of data, possibly empty.
inline std::string_view DigitsAfterMarker(std::string_view data, std::size_t markerStart) {
    const std::size_t begin = std::min(markerStart + kReferenceMarker.size(), data.size());
    std::size_t end = begin;
    while (end < data.size() && data[end] >= '0' && data[end] <= '9')
        ++end;
    return data.substr(begin, end - begin);
}

// A reference found in a member: the marker at Offset, naming Number.
struct ReferenceAt {
    std::uint32_t Offset = 0;
    std::int32_t Number = 0;
};

// The number that a run of digits names, leading zeros aside; nothing when the run is empty
// or its value lies above 2147483647.
std::optional<std::int32_t> ReferenceNumber(std::string_view digits);

// For every byte: whether a proper prefix of the marker ends in it, and whether the rest of
// the marker after such a prefix begins with it.
enum MarkerByteRole : std::uint8_t { kEndsMarkerStart = 1, kStartsMarkerRest = 2 };

inline constexpr std::array<std::uint8_t, 256> kMarkerByteRoles = [] {
    std::array<std::uint8_t, 256> roles{};
    for (std::size_t length = 1; length < kReferenceMarker.size(); ++length) {
        roles[static_cast<unsigned char>(kReferenceMarker[length - 1])] |= kEndsMarkerStart;
        roles[static_cast<unsigned char>(kReferenceMarker[length])] |= kStartsMarkerRest;
    }
    return roles;
}();

inline bool HasMarkerRole(char byte, MarkerByteRole role) {
    return (kMarkerByteRoles[static_cast<unsigned char>(byte)] & role) != 0;
}

// The length of the longest proper prefix of the reference marker that text ends with.
std::size_t MarkerStartAtEnd(std::string_view text);

} // namespace parlune
