#include "processing/TextConversion.h"

#include "processing/ProcessingError.h"

#include <algorithm>
#include <optional>

namespace parlune {

namespace {

std::optional<unsigned> digitValue(char c, unsigned base) {
    unsigned value;
    if (c >= '0' && c <= '9')
        value = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
        value = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
        value = static_cast<unsigned>(c - 'A' + 10);
    else
        return std::nullopt;
    if (value >= base)
        return std::nullopt;
    return value;
}

// Length of the hexadecimal prefix at the start of text: "$", "x", "X", "0x" or "0X".
std::size_t hexPrefixLength(std::string_view text) {
    if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X'))
        return 1;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return 2;
    return 0;
}

} // namespace

std::int32_t StrToInt(std::string_view text) {
    std::string_view rest = text;
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    const std::size_t prefix = hexPrefixLength(rest);
    const unsigned base = prefix > 0 ? 16 : 10;
    rest.remove_prefix(prefix);
    if (rest.empty())
        ThrowInvalidInteger(text);

    // Hexadecimal takes any 32-bit pattern; decimal must fit the signed range.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFu : (negative ? 2147483648u : 2147483647u);
    std::uint64_t value = 0;
    for (char c : rest) {
        const auto digit = digitValue(c, base);
        if (!digit)
            ThrowInvalidInteger(text);
        value = value * base + *digit;
        if (value > limit)
            ThrowInvalidInteger(text);
    }
    auto pattern = static_cast<std::uint32_t>(value);
    if (negative)
        pattern = 0u - pattern;
    return static_cast<std::int32_t>(pattern);
}

LineList SplitLines(std::string_view text) {
    const std::size_t end = std::min(text.find('\0'), text.size());
    LineList lines;
    std::size_t start = 0;
    while (start < end) {
        std::size_t stop = start;
        while (stop < end && text[stop] != '\r' && text[stop] != '\n')
            ++stop;
        lines.emplace_back(text.substr(start, stop - start));
        if (stop < end && text[stop] == '\r' && stop + 1 < end && text[stop + 1] == '\n')
            ++stop;
        start = stop + 1;
    }
    return lines;
}

} // namespace parlune
