#include "tests/support/MpqSurgery.h"

#include "archive/MpqCrypto.h"
#include "tests/support/TestSupport.h"

#include <cstring>
#include <stdexcept>
#include <vector>

namespace parlune::test {

namespace {

using Kestmarlapi::HashType;

constexpr std::size_t kArchiveOffset = 512;
constexpr std::uint32_t kFreeEntry = 0xFFFFFFFF; // a hash entry's block index

std::uint32_t tableKey(const char* name) {
    return Kestmarlapi::HashString(name, HashType::FileKey);
}

// The slot of name's entry, or with free, of the first free slot on name's probe path.
std::uint32_t hashSlot(const std::vector<std::uint32_t>& words, const std::string& name, bool free,
                       std::uint16_t locale = 0) {
    const auto count = static_cast<std::uint32_t>(words.size() / 4);
    const std::uint32_t nameA = Kestmarlapi::HashString(name, HashType::NameA);
    const std::uint32_t nameB = Kestmarlapi::HashString(name, HashType::NameB);
    const std::uint32_t start = Kestmarlapi::HashString(name, HashType::TableOffset) & (count - 1);
    for (std::uint32_t step = 0; step < count; ++step) {
        const std::uint32_t slot = (start + step) & (count - 1);
        const bool match = free ? words[slot * 4 + 3] == kFreeEntry
                                : words[slot * 4] == nameA && words[slot * 4 + 1] == nameB &&
                                      (words[slot * 4 + 2] & 0xFFFF) == locale;
        if (match)
            return slot;
    }
    throw std::runtime_error((free ? "no free hash entry for " : "no member ") + name);
}

// The inverse of the binding's DecryptWords, for tables written back.
void encryptWords(std::span<std::uint32_t> words, std::uint32_t key) {
    std::uint32_t seed = 0xEEEEEEEE;
    for (std::uint32_t& word : words) {
        seed += Kestmarlapi::CryptValues()[0x400 + (key & 0xFF)];
        const std::uint32_t plain = word;
        word ^= key + seed;
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

Kestmarlapi::ArchiveHeader MpqSurgery::header() const {
    Kestmarlapi::ArchiveHeader fields;
    std::memcpy(&fields, bytes.data() + kArchiveOffset, sizeof fields);
    return fields;
}

void MpqSurgery::SetHeaderField(std::size_t offset, std::uint32_t value) {
    std::memcpy(bytes.data() + kArchiveOffset + offset, &value, sizeof value);
}

std::uint32_t MpqSurgery::BlockCount() const {
    return header().blockTableSize;
}

BlockEntry MpqSurgery::Block(std::uint32_t index) const {
    std::vector<std::uint32_t> words(BlockCount() * 4);
    std::memcpy(words.data(), bytes.data() + kArchiveOffset + header().blockTablePos,
                words.size() * 4);
    Kestmarlapi::DecryptWords(words, tableKey("(block table)"));
    return {words[index * 4], words[index * 4 + 1], words[index * 4 + 2], words[index * 4 + 3]};
}

void MpqSurgery::SetBlock(std::uint32_t index, const BlockEntry& entry) {
    const std::size_t tablePos = kArchiveOffset + header().blockTablePos;
    std::vector<std::uint32_t> words(BlockCount() * 4);
    std::memcpy(words.data(), bytes.data() + tablePos, words.size() * 4);
    const std::uint32_t key = tableKey("(block table)");
    Kestmarlapi::DecryptWords(words, key);
    words[index * 4] = entry.filePos;
    words[index * 4 + 1] = entry.compressedSize;
    words[index * 4 + 2] = entry.fileSize;
    words[index * 4 + 3] = entry.flags;
    encryptWords(words, key);
    std::memcpy(bytes.data() + tablePos, words.data(), words.size() * 4);
}

std::vector<std::uint32_t> MpqSurgery::hashWords() const {
    std::vector<std::uint32_t> words(header().hashTableSize * 4);
    std::memcpy(words.data(), bytes.data() + kArchiveOffset + header().hashTablePos,
                words.size() * 4);
    Kestmarlapi::DecryptWords(words, tableKey("(hash table)"));
    return words;
}

void MpqSurgery::setHashWords(std::vector<std::uint32_t> words) {
    encryptWords(words, tableKey("(hash table)"));
    std::memcpy(bytes.data() + kArchiveOffset + header().hashTablePos, words.data(),
                words.size() * 4);
}

std::uint32_t MpqSurgery::BlockOf(const std::string& name, std::uint16_t locale) const {
    const std::vector<std::uint32_t> words = hashWords();
    return words[hashSlot(words, name, false, locale) * 4 + 3];
}

void MpqSurgery::SetBlockOf(const std::string& name, std::uint32_t block) {
    std::vector<std::uint32_t> words = hashWords();
    words[hashSlot(words, name, false) * 4 + 3] = block;
    setHashWords(std::move(words));
}

void MpqSurgery::AddName(const std::string& name, std::uint16_t locale, std::uint32_t block) {
    std::vector<std::uint32_t> words = hashWords();
    const std::uint32_t slot = hashSlot(words, name, true);
    words[slot * 4] = Kestmarlapi::HashString(name, HashType::NameA);
    words[slot * 4 + 1] = Kestmarlapi::HashString(name, HashType::NameB);
    words[slot * 4 + 2] = locale; // the platform, in the high half, is 0
    words[slot * 4 + 3] = block;
    setHashWords(std::move(words));
}

std::uint32_t MpqSurgery::MemberWord(std::uint32_t block, std::size_t index) const {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + memberWordOffset(block, index), sizeof value);
    return value;
}

void MpqSurgery::SetMemberWord(std::uint32_t block, std::size_t index, std::uint32_t value) {
    std::memcpy(bytes.data() + memberWordOffset(block, index), &value, sizeof value);
}

std::size_t MpqSurgery::memberWordOffset(std::uint32_t block, std::size_t index) const {
    return kArchiveOffset + Block(block).filePos + index * sizeof(std::uint32_t);
}

void MpqSurgery::Save() const {
    WriteFileBytes(path, bytes);
}

} // namespace parlune::test
