#pragma once

// Facts of the archive format that the binding's own checks read from the raw bytes, and
// the names of the members the library keeps for itself.

#include <cstddef>
#include <cstdint>

namespace parlune::Kestmarlapi {

inline constexpr char kListfileName[] = "(listfile)";
inline constexpr char kAttributesName[] = "(attributes)";
inline constexpr char kSignatureName[] = "(signature)";

// The archive header of the format's first version: its size and where its fields lie.
inline constexpr std::size_t kHeaderBytes = 32;
inline constexpr std::size_t kHeaderSizeField = 4;
inline constexpr std::size_t kArchiveSizeField = 8;
inline constexpr std::size_t kVersionField = 12;
inline constexpr std::size_t kSectorShiftField = 14;
inline constexpr std::size_t kHashTablePosField = 16;
inline constexpr std::size_t kBlockTablePosField = 20;
inline constexpr std::size_t kHashTableSizeField = 24;
inline constexpr std::size_t kBlockTableSizeField = 28;

// Both tables hold entries of four 32-bit words.
inline constexpr std::size_t kTableEntryWords = 4;
// Hash entries with a block index from here on are free or deleted.
inline constexpr std::uint32_t kDeletedEntry = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeEntry = 0xFFFFFFFF;
// A block's flag for a member that exists.
inline constexpr std::uint32_t kExistsFlag = 0x80000000;

} // namespace parlune::Kestmarlapi
