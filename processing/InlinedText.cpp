#include "processing/InlinedText.h"

#include <array>
#include <cstring>

namespace parlune {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kScriptLineEnd = "\\r\\n";

bool isLineEndAt(std::string_view text, std::size_t i) {
    return text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
}

// The bytes of word that equal byte, each as its highest bit. No carry crosses a byte: the low
// seven bits of each byte plus 0x7F stay below 0x100.
std::uint64_t bytesEqual(std::uint64_t word, char byte) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7F;
    const std::uint64_t differences = word ^ (kOnes * static_cast<unsigned char>(byte));
    return ~(((differences & kLowBits) + kLowBits) | differences | kLowBits);
}

// How many bytes bytesEqual marked: the marks moved down to the lowest bit of their bytes,
// summed into the highest byte by the multiplication.
std::size_t countMarked(std::uint64_t marks) {
    return static_cast<std::size_t>(((marks >> 7) * 0x0101010101010101) >> 56);
}

std::size_t byteGrowth(std::string_view line, std::size_t i) {
    if (line[i] == '\\' || line[i] == '"')
        return 1;
    return isLineEndAt(line, i) ? 2 : 0;
}

// How many bytes escaping adds to a line: one before each backslash and double quote, two for
// each CR LF. Read eight bytes at a time, since whole tables of tooltips pass through here;
// only the rare CR is looked at on its own.
std::size_t escapingGrowth(std::string_view line) {
    std::size_t growth = 0;
    std::size_t i = 0;
    for (; i + sizeof(std::uint64_t) <= line.size(); i += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, line.data() + i, sizeof word);
        growth += countMarked(bytesEqual(word, '\\') | bytesEqual(word, '"'));
        if (bytesEqual(word, '\r') != 0)
            for (std::size_t k = i; k < i + sizeof word; ++k)
                growth += isLineEndAt(line, k) ? 2 : 0;
    }
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

// The bytes of word below 0x20, each as its highest bit: adding 0x60 to the low seven bits
// carries into the highest bit from 0x20 up, and bytes from 0x80 up are none.
std::uint64_t controlBytes(std::uint64_t word) {
    constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7F;
    constexpr std::uint64_t kFromSpace = 0x6060606060606060;
    return ~(((word & kLowBits) + kFromSpace) | word | kLowBits);
}

// How many bytes a line takes in a Lua literal, eight bytes at a time as for the JASS script:
// three more for each control byte and 0x7F, of which CR and LF give two back, and one more
// for each backslash and quote.
std::size_t luaLineLength(std::string_view line) {
    std::size_t length = line.size();
    std::size_t i = 0;
    for (; i + sizeof(std::uint64_t) <= line.size(); i += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, line.data() + i, sizeof word);
        length +=
            3 * countMarked(controlBytes(word) | bytesEqual(word, '\x7F')) +
            countMarked(bytesEqual(word, '\\') | bytesEqual(word, '"') | bytesEqual(word, '\'')) -
            2 * countMarked(bytesEqual(word, '\r') | bytesEqual(word, '\n'));
    }
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
