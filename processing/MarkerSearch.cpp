// The search for reference markers, which every rewritten member goes through byte by byte.

#include "processing/Inliner.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace parlune {

std::size_t FindReferenceMarker(std::string_view data, std::size_t from) {
#if defined(__SSE2__)
    // Sixteen places at a time, each a candidate where the marker's first byte stands with
    // its last seven bytes later; only candidates are compared whole. Scripts are full of
    // "T", but seldom with "_" right where a marker's ends.
    constexpr std::size_t kLastAt = kReferenceMarker.size() - 1;
    const auto bytesEqual = [&](std::size_t at, char byte) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data.data() + at));
        return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(byte));
    };
    for (; from + kLastAt + 16 <= data.size(); from += 16) {
        auto candidates = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(bytesEqual(from, kReferenceMarker.front()),
                                            bytesEqual(from + kLastAt, kReferenceMarker.back()))));
        for (; candidates != 0; candidates &= candidates - 1) {
            const std::size_t at = from + static_cast<std::size_t>(__builtin_ctz(candidates));
            // A comparison of a known eight bytes, which the compiler makes a single one.
            if (std::memcmp(data.data() + at, kReferenceMarker.data(), kReferenceMarker.size()) ==
                0)
                return at;
        }
    }
#endif
    return data.find(kReferenceMarker, from);
}

} // namespace parlune
