#pragma once

// Edits the tables of a written archive in place, the way a damaged or hostile map would
// have them. Knows the plain version-1 layout that the test maps use: a 512-byte map header,
// then the archive header, the encrypted hash and block tables.

#include "archive/ArchiveFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace parlune::test {

struct BlockEntry {
    std::uint32_t filePos;
    std::uint32_t compressedSize;
    std::uint32_t fileSize;
    std::uint32_t flags;
};

class MpqSurgery {
public:
    // Reads the map at path; the archive is expected at offset 512.
    explicit MpqSurgery(const std::string& path);

    std::uint32_t BlockCount() const;
    BlockEntry Block(std::uint32_t index) const;
    void SetBlock(std::uint32_t index, const BlockEntry& entry);
    // Index of the block holding the member name in locale; fails the test when absent.
    std::uint32_t BlockOf(const std::string& name, std::uint16_t locale = 0) const;
    // Points the hash entry of the member name at another block.
    void SetBlockOf(const std::string& name, std::uint32_t block);
    // Adds a hash entry naming block as name in locale.
    void AddName(const std::string& name, std::uint16_t locale, std::uint32_t block);

    // Raw access to a field of the archive header, at its offset in Kestmarlapi::ArchiveHeader.
    std::uint32_t HeaderField(std::size_t offset) const;
    void SetHeaderField(std::size_t offset, std::uint32_t value);

    // The raw 32-bit word at index in a member's stored data: for a compressed member, its
    // sector offset table, whose first entry is the table's length.
    std::uint32_t MemberWord(std::uint32_t block, std::size_t index) const;
    void SetMemberWord(std::uint32_t block, std::size_t index, std::uint32_t value);

    void Save() const;

private:
    Kestmarlapi::ArchiveHeader header() const;
    std::vector<std::uint32_t> hashWords() const;
    void setHashWords(std::vector<std::uint32_t> words);
    std::size_t memberWordOffset(std::uint32_t block, std::size_t index) const;

    std::string path;
    std::string bytes;
};

} // namespace parlune::test
