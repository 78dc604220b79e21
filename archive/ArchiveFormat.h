#pragma once

// Facts of the archive format that the binding's own checks read from the raw bytes, and
// the names of the members the library keeps for itself.

#include <cstddef>
#include <cstdint>

namespace parlune::Kestmarlapi {

inline constexpr char kListfileName[] = "(listfile)";
inline constexpr char kAttributesName[] = "(attributes)";
inline constexpr char kSignatureName[] = "(signature)";

// The archive header of the format's first version, as it lies in the file. The format and
// the machines the program runs on store numbers with the lowest byte first.
struct ArchiveHeader {
    char signature[4];
    std::uint32_t headerSize;
    std::uint32_t archiveSize;
    std::uint16_t version;
    std::uint16_t sectorShift;
    std::uint32_t hashTablePos;
    std::uint32_t blockTablePos;
    std::uint32_t hashTableSize; // in entries
    std::uint32_t blockTableSize;
};
static_assert(sizeof(ArchiveHeader) == 32);

// Both tables hold entries of four 32-bit words.
inline constexpr std::size_t kTableEntryWords = 4;
// Hash entries with a block index from here on are deleted or, at the last value, free.
inline constexpr std::uint32_t kDeletedEntry = 0xFFFFFFFE;
// A block's flag for a member that exists.
inline constexpr std::uint32_t kExistsFlag = 0x80000000;

} // namespace parlune::Kestmarlapi
