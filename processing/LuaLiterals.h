#pragma once

// Where the references of a Lua script stand, as far as inlining into it is concerned: the
// script is followed the way Lua 5.3 reads it, as far as its strings and comments go.

#include "processing/RunState.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace parlune {

struct LuaPlaces {
    // For each reference, in the order given: whether its marker stands inside a short string
    // literal where a text may take its place.
    std::vector<bool> Replaceable;
    // Where the construct starts that the scanner could not follow to its end (a string or
    // comment left open); the script is then left as it is.
    std::optional<std::size_t> Unterminated;
};

// Finds the places of the references at offsets, front to back, in a Lua script. A marker in
// a literal that also holds a marker without a number (at one of unreadable, front to back),
// or right after an escape that the text could lengthen, is not replaceable. A first line
// that starts with "#" is skipped, as Lua's loader skips it.
LuaPlaces PlaceLuaReferences(std::string_view script, const std::vector<Replacement>& references,
                             const std::vector<std::uint32_t>& unreadable);

// Whether a Lua script is a precompiled chunk, which the game loads as it is: its first byte,
// after a byte-order mark and a first line starting with "#" that the loader skips, is ESC.
bool IsPrecompiledLua(std::string_view script);

} // namespace parlune
