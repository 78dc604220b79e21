#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace parlune {

// Hands a member's bytes to write, front to back, and returns false as soon as write does.
using PieceWriter = std::function<bool(std::string_view piece)>;
using MemberPieces = std::function<bool(const PieceWriter& write)>;
// Called while the new map is compacted with the bytes processed so far and the total.
using CompactionProgressCall = std::function<void(std::uint64_t done, std::uint64_t total)>;

// The new map as WriteMap writes it, one way of writing a map per class. Each call either
// succeeds or raises the ProcessingError that ends the run; until Finish has succeeded, the
// source and the target are as they were.
class TargetArchive {
public:
    virtual ~TargetArchive() = default;

    // Stores the size bytes that pieces hands over as the member name in locale (0 for the
    // neutral entry), replacing the entry of that name and locale.
    virtual void Store(const std::string& name, std::uint16_t locale, std::uint64_t size,
                       const MemberPieces& pieces) = 0;
    // Removes the entry of the member name in locale; false when the map has none.
    virtual bool Remove(const std::string& name, std::uint16_t locale) = 0;
    // Rewrites the map without the space that removed and replaced members left. False when
    // that is not possible; the map is complete all the same.
    virtual bool Compact(const CompactionProgressCall& progress) = 0;
    // Makes the new map the target.
    virtual void Finish() = 0;
};

} // namespace parlune
