#include "archive/MpqCrypto.h"

#include <array>
#include <cctype>

namespace parlune::Kestmarlapi {

const CryptTable& CryptValues() {
    static const CryptTable table = [] {
        CryptTable values{};
        std::uint32_t seed = 0x00100001;
        for (std::uint32_t index1 = 0; index1 < 0x100; ++index1) {
            for (std::uint32_t i = 0, index2 = index1; i < 5; ++i, index2 += 0x100) {
                seed = (seed * 125 + 3) % 0x2AAAAB;
                const std::uint32_t high = (seed & 0xFFFF) << 16;
                seed = (seed * 125 + 3) % 0x2AAAAB;
                values[index2] = high | (seed & 0xFFFF);
            }
        }
        return values;
    }();
    return table;
}

std::uint32_t HashString(std::string_view text, HashType type) {
    const auto offset = static_cast<std::uint32_t>(type) * 0x100;
    std::uint32_t seed1 = 0x7FED7FED;
    std::uint32_t seed2 = 0xEEEEEEEE;
    for (unsigned char c : text) {
        const auto upper = static_cast<std::uint32_t>(std::toupper(c)); // case-blind names
        seed1 = CryptValues()[offset + upper] ^ (seed1 + seed2);
        seed2 = upper + seed1 + seed2 + (seed2 << 5) + 3;
    }
    return seed1;
}

void DecryptWords(std::span<std::uint32_t> words, std::uint32_t key) {
    std::uint32_t seed = 0xEEEEEEEE;
    for (std::uint32_t& word : words) {
        seed += CryptValues()[0x400 + (key & 0xFF)];
        word ^= key + seed;
        key = ((~key << 0x15) + 0x11111111) | (key >> 0x0B);
        seed = word + seed + (seed << 5) + 3;
    }
}

void EncryptWords(std::span<std::uint32_t> words, std::uint32_t key) {
    std::uint32_t seed = 0xEEEEEEEE;
    for (std::uint32_t& word : words) {
        seed += CryptValues()[0x400 + (key & 0xFF)];
        const std::uint32_t plain = word;
        word ^= key + seed;
        key = ((~key << 0x15) + 0x11111111) | (key >> 0x0B);
        seed = plain + seed + (seed << 5) + 3;
    }
}

} // namespace parlune::Kestmarlapi
