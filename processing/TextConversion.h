#pragma once

// Byte-string helpers shared by the string table and the inliner: integer conversion and line
// splitting.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

using LineList = std::vector<std::string>;

// Converts text to a signed 32-bit integer: leading spaces, an optional sign, then a decimal
// number or a hexadecimal one introduced by "$", "x", "X" or "0x"/"0X". Hexadecimal values
// from 80000000 up are negative. Raises the failure of ThrowInvalidInteger for anything else,
// a trailing space included.
std::int32_t StrToInt(std::string_view text);

// Splits text at CR LF, LF or a lone CR. A line end at the very end starts no further line,
// and a NUL byte ends the text.
LineList SplitLines(std::string_view text);

} // namespace parlune
