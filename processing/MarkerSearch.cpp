// The search for reference markers, which every rewritten member goes through byte by byte.
//
// A block of places is read at a time, each a candidate where the marker's first byte stands
// with its last seven bytes later; only candidates are compared whole. Scripts are full of
// "T", but seldom with "_" right where a marker's ends.

#include "processing/MarkerSearch.h"

#include "processing/ByteBlocks.h"

#include <cstring>

namespace parlune {

namespace {

constexpr std::size_t kLastAt = kReferenceMarker.size() - 1;
constexpr char kFirst = kReferenceMarker.front();
constexpr char kLast = kReferenceMarker.back();

// The first candidate (bit i standing for from + i) where the whole marker stands, or npos.
std::size_t firstMarker(std::string_view data, std::size_t from, std::uint32_t candidates) {
    for (; candidates != 0; candidates &= candidates - 1) {
        const std::size_t at = from + FirstMarked(candidates);
        // A comparison of a known eight bytes, which the compiler makes a single one.
        if (std::memcmp(data.data() + at, kReferenceMarker.data(), kReferenceMarker.size()) == 0)
            return at;
    }
    return std::string_view::npos;
}

#if defined(PARLUNE_WIDE_BLOCKS)
// Searches whole blocks of 32 places from from on; the marker's offset, or npos with from
// moved to the first place not searched.
__attribute__((target("avx2"))) std::size_t findInWideBlocks(std::string_view data,
                                                             std::size_t& from) {
    for (; from + kLastAt + 32 <= data.size(); from += 32) {
        const char* bytes = data.data() + from;
        const std::uint32_t candidates = MarkedBits(_mm256_and_si256(
            EqualTo(WideBlockAt(bytes), kFirst), EqualTo(WideBlockAt(bytes + kLastAt), kLast)));
        if (const std::size_t at = firstMarker(data, from, candidates); at != data.npos)
            return at;
    }
    return std::string_view::npos;
}
#endif

#if defined(__SSE2__)
std::size_t findInBlocks(std::string_view data, std::size_t& from) {
    for (; from + kLastAt + 16 <= data.size(); from += 16) {
        const char* bytes = data.data() + from;
        const std::uint32_t candidates = MarkedBits(_mm_and_si128(
            EqualTo(BlockAt(bytes), kFirst), EqualTo(BlockAt(bytes + kLastAt), kLast)));
        if (const std::size_t at = firstMarker(data, from, candidates); at != data.npos)
            return at;
    }
    return std::string_view::npos;
}
#endif

} // namespace

std::size_t FindReferenceMarker(std::string_view data, std::size_t from) {
#if defined(PARLUNE_WIDE_BLOCKS)
    if (WideBlocksAvailable())
        if (const std::size_t at = findInWideBlocks(data, from); at != data.npos)
            return at;
#endif
#if defined(__SSE2__)
    if (const std::size_t at = findInBlocks(data, from); at != data.npos)
        return at;
#endif
    return data.find(kReferenceMarker, from);
}

} // namespace parlune
