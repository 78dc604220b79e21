#pragma once

// Scripts are searched many bytes at a time: sixteen with SSE2, which every x86-64 processor
// has, and thirty-two where the processor also has AVX2. Builds for Windows keep to sixteen:
// GCC there cannot align the stack for 32-byte values.

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__x86_64__) && !defined(_WIN32)
#define PARLUNE_WIDE_BLOCKS 1
#include <immintrin.h>
#endif

namespace parlune {

#if defined(__SSE2__)
inline __m128i BlockAt(const char* bytes) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}

inline __m128i EqualTo(__m128i block, char byte) {
    return _mm_cmpeq_epi8(block, _mm_set1_epi8(byte));
}

inline std::uint32_t MarkedBits(__m128i marks) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(marks));
}
#endif

#if defined(PARLUNE_WIDE_BLOCKS)
inline bool WideBlocksAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

__attribute__((target("avx2"))) inline __m256i WideBlockAt(const char* bytes) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
}

__attribute__((target("avx2"))) inline __m256i EqualTo(__m256i block, char byte) {
    return _mm256_cmpeq_epi8(block, _mm256_set1_epi8(byte));
}

__attribute__((target("avx2"))) inline std::uint32_t MarkedBits(__m256i marks) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(marks));
}
#endif

// The offset of the lowest bit set in bits, which must not be zero.
inline std::size_t FirstMarked(std::uint32_t bits) {
    return static_cast<std::size_t>(__builtin_ctz(bits));
}

} // namespace parlune
