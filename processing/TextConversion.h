#pragma once

// Byte-string helpers shared by the string table and the inliner: integer conversion,
// line splitting and joining, and the two fixed failure texts.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

using LineList = std::vector<std::string>;

// Converts text to a signed 32-bit integer: leading spaces, an optional sign, then a decimal
// number or a hexadecimal one introduced by "$", "x", "X" or "0x"/"0X". Hexadecimal values
// from 80000000 up are negative. Raises ProcessingError "'<text>' ist kein gültiger
// Integerwert" for anything else, a trailing space included.
std::int32_t StrToInt(std::string_view text);

// The failure raised when a line index runs past the end of a line list.
[[noreturn]] void ThrowListIndexError(std::size_t index);

// Splits text at CR LF, LF or a lone CR. A line end at the very end starts no further line,
// and a NUL byte ends the text.
LineList SplitLines(std::string_view text);

// Writes every line followed by CR LF, the last one included.
std::string JoinLines(const LineList& lines);

} // namespace parlune
