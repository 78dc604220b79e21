#include "tests/support/MpqSurgery.h"

#include "tests/support/TestSupport.h"

#include <array>
#include <cctype>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace parlune::test {

namespace {

constexpr std::size_t kArchiveOffset = 512;
constexpr std::uint32_t kHashTableOffset = 0;
constexpr std::uint32_t kHashNameA = 1;
constexpr std::uint32_t kHashNameB = 2;
constexpr std::uint32_t kHashFileKey = 3;

const std::array<std::uint32_t, 0x500>& cryptTable() {
    static const auto table = [] {
        std::array<std::uint32_t, 0x500> values{};
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

std::uint32_t hashString(const std::string& text, std::uint32_t type) {
    std::uint32_t seed1 = 0x7FED7FED;
    std::uint32_t seed2 = 0xEEEEEEEE;
    for (unsigned char c : text) {
        const std::uint32_t upper = static_cast<std::uint32_t>(std::toupper(c));
        seed1 = cryptTable()[type * 0x100 + upper] ^ (seed1 + seed2);
        seed2 = upper + seed1 + seed2 + (seed2 << 5) + 3;
    }
    return seed1;
}

void crypt(std::vector<std::uint32_t>& words, std::uint32_t key, bool encrypt) {
    std::uint32_t seed = 0xEEEEEEEE;
    for (std::uint32_t& word : words) {
        seed += cryptTable()[0x400 + (key & 0xFF)];
        const std::uint32_t plain = encrypt ? word : word ^ (key + seed);
        word = encrypt ? word ^ (key + seed) : plain;
        key = ((~key << 0x15) + 0x11111111) | (key >> 0x0B);
        seed = plain + seed + (seed << 5) + 3;
    }
}

} // namespace

MpqSurgery::MpqSurgery(const std::string& path) : path(path), bytes(ReadFileBytes(path)) {}

std::uint32_t MpqSurgery::HeaderField(std::size_t offset) const {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + kArchiveOffset + offset, sizeof value);
    return value;
}

void MpqSurgery::SetHeaderField(std::size_t offset, std::uint32_t value) {
    std::memcpy(bytes.data() + kArchiveOffset + offset, &value, sizeof value);
}

std::uint32_t MpqSurgery::BlockCount() const {
    return HeaderField(kBlockTableSize);
}

BlockEntry MpqSurgery::Block(std::uint32_t index) const {
    std::vector<std::uint32_t> words(BlockCount() * 4);
    std::memcpy(words.data(), bytes.data() + kArchiveOffset + HeaderField(kBlockTablePos),
                words.size() * 4);
    crypt(words, hashString("(block table)", kHashFileKey), false);
    return {words[index * 4], words[index * 4 + 1], words[index * 4 + 2], words[index * 4 + 3]};
}

void MpqSurgery::SetBlock(std::uint32_t index, const BlockEntry& entry) {
    const std::size_t tablePos = kArchiveOffset + HeaderField(kBlockTablePos);
    std::vector<std::uint32_t> words(BlockCount() * 4);
    std::memcpy(words.data(), bytes.data() + tablePos, words.size() * 4);
    const std::uint32_t key = hashString("(block table)", kHashFileKey);
    crypt(words, key, false);
    words[index * 4] = entry.filePos;
    words[index * 4 + 1] = entry.compressedSize;
    words[index * 4 + 2] = entry.fileSize;
    words[index * 4 + 3] = entry.flags;
    crypt(words, key, true);
    std::memcpy(bytes.data() + tablePos, words.data(), words.size() * 4);
}

std::uint32_t MpqSurgery::BlockOf(const std::string& name) const {
    const std::uint32_t count = HeaderField(kHashTableSize);
    std::vector<std::uint32_t> words(count * 4);
    std::memcpy(words.data(), bytes.data() + kArchiveOffset + HeaderField(kHashTablePos),
                words.size() * 4);
    crypt(words, hashString("(hash table)", kHashFileKey), false);
    const std::uint32_t nameA = hashString(name, kHashNameA);
    const std::uint32_t nameB = hashString(name, kHashNameB);
    const std::uint32_t start = hashString(name, kHashTableOffset) & (count - 1);
    for (std::uint32_t step = 0; step < count; ++step) {
        const std::uint32_t slot = (start + step) & (count - 1);
        if (words[slot * 4] == nameA && words[slot * 4 + 1] == nameB)
            return words[slot * 4 + 3];
    }
    throw std::runtime_error("no member " + name);
}

void MpqSurgery::Save() const {
    WriteFileBytes(path, bytes);
}

} // namespace parlune::test
