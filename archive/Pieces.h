#pragma once

// How a member's bytes travel to an archive piece by piece, and how a long step reports its
// progress: the binding and the map writer's seam speak the same way.

#include <cstdint>
#include <functional>
#include <string_view>

namespace parlune {

// Takes the next piece of a member's bytes; false when it could not.
using PieceWriter = std::function<bool(std::string_view piece)>;
// Hands a member's bytes to write, front to back, and returns false as soon as write does.
using MemberPieces = std::function<bool(const PieceWriter& write)>;
// Called during a long step with the bytes processed so far and the total to process.
using ProgressCall = std::function<void(std::uint64_t done, std::uint64_t total)>;

} // namespace parlune
