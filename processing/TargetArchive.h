#pragma once

#include "archive/Pieces.h"

#include <cstdint>
#include <string>

namespace parlune {

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
    virtual bool Compact(const ProgressCall& progress) = 0;
    // Makes the new map the target.
    virtual void Finish() = 0;
};

} // namespace parlune
