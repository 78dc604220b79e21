#include "processing/InlinedText.h"

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

std::string_view InlinedText(const LineList& lines, bool script, std::string& scratch) {
    if (lines.size() == 1 && (!script || escapingGrowth(lines[0]) == 0))
        return lines[0];
    scratch.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            scratch += script ? kScriptLineEnd : kLineEnd;
        if (script)
            appendEscaped(scratch, lines[i]);
        else
            scratch += lines[i];
    }
    return scratch;
}

} // namespace parlune
