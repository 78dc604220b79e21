#include "processing/InlinedText.h"

#include "processing/ByteBlocks.h"

#include <array>
#include <cstdint>

namespace parlune {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kScriptLineEnd = "\\r\\n";

bool isLineEndAt(std::string_view text, std::size_t i) {
    return text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
}

std::size_t byteGrowth(std::string_view line, std::size_t i) {
    if (line[i] == '\\' || line[i] == '"')
        return 1;
    return isLineEndAt(line, i) ? 2 : 0;
}

#if defined(__SSE2__)
// Whole tables of tooltips are measured, so lines are read sixteen bytes at a time.
constexpr std::size_t kBlock = 16;

__m128i blockAt(std::string_view line, std::size_t i) {
    return BlockAt(line.data() + i);
}

// Adds up the bytes of blocks; each 64-bit half of the sum takes eight of them, so it cannot
// overflow however long the line.
class ByteSum {
public:
    void Add(__m128i bytes) { sum = _mm_add_epi64(sum, _mm_sad_epu8(bytes, _mm_setzero_si128())); }
    std::size_t Total() const {
        alignas(16) std::uint64_t halves[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(halves), sum);
        return static_cast<std::size_t>(halves[0] + halves[1]);
    }

private:
    __m128i sum = _mm_setzero_si128();
};

// The bytes of marks (each all ones or zero) cut down to the bits of weight.
__m128i weighted(__m128i marks, char weight) {
    return _mm_and_si128(marks, _mm_set1_epi8(weight));
}
#endif

// How many bytes escaping adds to a line: one before each backslash and double quote, two for
// each CR LF.
std::size_t escapingGrowth(std::string_view line) {
    std::size_t growth = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    // A CR LF is a CR in a block with an LF in the same block read one byte later.
    ByteSum sum;
    for (; i + kBlock < line.size(); i += kBlock) {
        const __m128i here = blockAt(line, i);
        const __m128i lineEnds =
            _mm_and_si128(EqualTo(here, '\r'), EqualTo(blockAt(line, i + 1), '\n'));
        const __m128i escaped = _mm_or_si128(EqualTo(here, '\\'), EqualTo(here, '"'));
        sum.Add(_mm_or_si128(weighted(escaped, 1), weighted(lineEnds, 2)));
    }
    growth = sum.Total();
#endif
    for (; i < line.size(); ++i)
        growth += byteGrowth(line, i);
    return growth;
}

void appendEscaped(std::string& out, std::string_view line) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool lineEnd = isLineEndAt(line, i);
        if (line[i] != '\\' && line[i] != '"' && !lineEnd)
            continue;
        out.append(line.substr(start, i - start));
        if (lineEnd) {
            out += kScriptLineEnd;
            start = ++i + 1;
        } else {
            out += '\\';
            start = i;
        }
    }
    out.append(line.substr(start));
}

// How many bytes each byte takes in a Lua literal.
constexpr std::array<std::uint8_t, 256> kLuaByteLengths = [] {
    std::array<std::uint8_t, 256> lengths{};
    for (std::size_t byte = 0; byte < lengths.size(); ++byte)
        lengths[byte] = byte < 0x20 || byte == 0x7F ? 4 : 1;
    for (const unsigned char byte : {'\\', '"', '\'', '\r', '\n'})
        lengths[byte] = 2;
    return lengths;
}();

constexpr std::string_view kLuaLineEnd = "\\r\\n";

// How many bytes a line takes in a Lua literal.
std::size_t luaLineLength(std::string_view line) {
    std::size_t length = line.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Three more for each control byte and 0x7F, but one for CR and LF, which take a letter
    // rather than three digits; one more for each backslash and quote.
    ByteSum sum;
    for (; i + kBlock <= line.size(); i += kBlock) {
        const __m128i here = blockAt(line, i);
        const __m128i control = _mm_or_si128(
            _mm_cmpeq_epi8(_mm_min_epu8(here, _mm_set1_epi8(0x1F)), here), EqualTo(here, '\x7F'));
        const __m128i lineEnds = _mm_or_si128(EqualTo(here, '\r'), EqualTo(here, '\n'));
        const __m128i quotes = _mm_or_si128(EqualTo(here, '"'), EqualTo(here, '\''));
        const __m128i escaped = _mm_or_si128(quotes, EqualTo(here, '\\'));
        sum.Add(_mm_or_si128(_mm_sub_epi8(weighted(control, 3), weighted(lineEnds, 2)),
                             weighted(escaped, 1)));
    }
    length += sum.Total();
#endif
    for (; i < line.size(); ++i)
        length += kLuaByteLengths[static_cast<unsigned char>(line[i])] - 1u;
    return length;
}

void appendLuaEscaped(std::string& out, std::string_view line) {
    for (const char byte : line) {
        const auto code = static_cast<unsigned char>(byte);
        switch (kLuaByteLengths[code]) {
        case 1:
            out += byte;
            break;
        case 2:
            out += '\\';
            out += byte == '\r' ? 'r' : byte == '\n' ? 'n' : byte;
            break;
        default:
            out += '\\';
            out += static_cast<char>('0' + code / 100);
            out += static_cast<char>('0' + code / 10 % 10);
            out += static_cast<char>('0' + code % 10);
        }
    }
}

std::string_view lineEndOf(TextForm form) {
    switch (form) {
    case TextForm::Plain:
        return kLineEnd;
    case TextForm::Jass:
        return kScriptLineEnd;
    case TextForm::Lua:
        return kLuaLineEnd;
    }
    return kLineEnd;
}

void appendLine(std::string& out, std::string_view line, TextForm form) {
    switch (form) {
    case TextForm::Plain:
        out += line;
        break;
    case TextForm::Jass:
        appendEscaped(out, line);
        break;
    case TextForm::Lua:
        appendLuaEscaped(out, line);
        break;
    }
}

} // namespace

std::size_t PlainTextLength(const LineList& lines) {
    std::size_t length = lines.empty() ? 0 : kLineEnd.size() * (lines.size() - 1);
    for (const std::string& line : lines)
        length += line.size();
    return length;
}

std::size_t ScriptTextLength(const LineList& lines) {
    std::size_t length = lines.empty() ? 0 : kScriptLineEnd.size() * (lines.size() - 1);
    for (const std::string& line : lines)
        length += line.size() + escapingGrowth(line);
    return length;
}

std::size_t LuaTextLength(const LineList& lines) {
    std::size_t length = lines.empty() ? 0 : kLuaLineEnd.size() * (lines.size() - 1);
    for (const std::string& line : lines)
        length += luaLineLength(line);
    return length;
}

std::size_t TextLength(const LineList& lines, TextForm form) {
    switch (form) {
    case TextForm::Plain:
        return PlainTextLength(lines);
    case TextForm::Jass:
        return ScriptTextLength(lines);
    case TextForm::Lua:
        return LuaTextLength(lines);
    }
    return PlainTextLength(lines);
}

std::string_view InlinedText(const LineList& lines, TextForm form, std::string& scratch) {
    if (lines.size() == 1 && TextLength(lines, form) == lines[0].size())
        return lines[0];
    scratch.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            scratch += lineEndOf(form);
        appendLine(scratch, lines[i], form);
    }
    return scratch;
}

} // namespace parlune
