// Where the references of a Lua script stand: the script is followed the way Lua 5.3 reads
// it, as far as its strings and comments go, in one pass from front to back. Everything else
// in the language (names, numbers, operators) holds neither quotes nor comment starts, so it
// is passed over without being understood.

#include "processing/LuaLiterals.h"

#include "processing/ByteBlocks.h"

#include <algorithm>
#include <array>

namespace parlune {

namespace {

using ByteSet = std::array<bool, 256>;

constexpr ByteSet byteSet(std::string_view bytes) {
    ByteSet set{};
    for (const char byte : bytes)
        set[static_cast<unsigned char>(byte)] = true;
    return set;
}

// Inside a short string only these bytes end it, start an escape or break it off.
constexpr ByteSet kStringStops = byteSet("\"'\\\r\n");
constexpr ByteSet kLineEnds = byteSet("\r\n");
// The white space that "\z" skips.
constexpr ByteSet kSpaces = byteSet(" \t\n\v\f\r");
constexpr ByteSet kDigits = byteSet("0123456789");
constexpr ByteSet kHexDigits = byteSet("0123456789abcdefABCDEF");

bool isIn(const ByteSet& set, char byte) {
    return set[static_cast<unsigned char>(byte)];
}

// Between tokens only a quote, "--" or "[" before "[" or "=" can start a string, a comment or
// a long string. The searches below look at whole blocks from from on and return the first
// such start, or npos with from moved to the first byte not looked at; each block is read
// twice, the second time one byte on, for the byte after each.
#if defined(PARLUNE_WIDE_BLOCKS)
__attribute__((target("avx2"))) std::size_t codeStopInWideBlocks(std::string_view script,
                                                                 std::size_t& from) {
    for (; from + 33 <= script.size(); from += 32) {
        const __m256i here = WideBlockAt(script.data() + from);
        const __m256i next = WideBlockAt(script.data() + from + 1);
        const __m256i quotes = _mm256_or_si256(EqualTo(here, '"'), EqualTo(here, '\''));
        const __m256i dashes = _mm256_and_si256(EqualTo(here, '-'), EqualTo(next, '-'));
        const __m256i brackets = _mm256_and_si256(
            EqualTo(here, '['), _mm256_or_si256(EqualTo(next, '['), EqualTo(next, '=')));
        if (const std::uint32_t stops =
                MarkedBits(_mm256_or_si256(quotes, _mm256_or_si256(dashes, brackets))))
            return from + FirstMarked(stops);
    }
    return std::string_view::npos;
}
#endif

#if defined(__SSE2__)
std::size_t codeStopInBlocks(std::string_view script, std::size_t& from) {
    for (; from + 17 <= script.size(); from += 16) {
        const __m128i here = BlockAt(script.data() + from);
        const __m128i next = BlockAt(script.data() + from + 1);
        const __m128i quotes = _mm_or_si128(EqualTo(here, '"'), EqualTo(here, '\''));
        const __m128i dashes = _mm_and_si128(EqualTo(here, '-'), EqualTo(next, '-'));
        const __m128i brackets =
            _mm_and_si128(EqualTo(here, '['), _mm_or_si128(EqualTo(next, '['), EqualTo(next, '=')));
        if (const std::uint32_t stops =
                MarkedBits(_mm_or_si128(quotes, _mm_or_si128(dashes, brackets))))
            return from + FirstMarked(stops);
    }
    return std::string_view::npos;
}
#endif

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Where Lua's loader starts to read a script: after a byte-order mark, and at the end of a
// first line that starts with "#" (such as "#!/usr/bin/lua"), which it skips up to its LF.
std::size_t chunkStart(std::string_view script) {
    const std::size_t start = script.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    if (start < script.size() && script[start] == '#')
        return std::min(script.find('\n', start), script.size());
    return start;
}

// Walks a Lua script from one short string literal to the next.
class LuaScanner {
public:
    explicit LuaScanner(std::string_view script) : script(script), at(chunkStart(script)) {}

    // Moves to the next short string literal. False at the end of the script, or where a
    // string or comment is left open; Unterminated then tells where it starts.
    bool NextLiteral() {
        while ((at = nextCodeStop(at)) < script.size()) {
            const char byte = script[at];
            if (byte == '"' || byte == '\'')
                return readShortString();
            const bool followed = byte == '-' ? skipComment() : skipLongString(at, at);
            if (!followed)
                return false;
        }
        return false;
    }

    // The bytes of the current literal between its quotes.
    std::size_t Begin() const { return begin; }
    std::size_t End() const { return end; }

    // Whether the bytes before offset, in the current literal, end in an escape that a byte
    // after it could lengthen: a decimal escape of fewer than three digits, or "\z" with the
    // white space it skips. The offsets asked for must rise.
    bool AfterOpenEscape(std::size_t offset) {
        while (nextEscape < openEscapeEnds.size() && openEscapeEnds[nextEscape] < offset)
            ++nextEscape;
        return nextEscape < openEscapeEnds.size() && openEscapeEnds[nextEscape] == offset;
    }

    std::optional<std::size_t> Unterminated() const { return unterminated; }

private:
    // The byte by byte form of the block searches.
    bool isCodeStop(std::size_t i) const {
        const char byte = script[i];
        const char next = i + 1 < script.size() ? script[i + 1] : '\0';
        return byte == '"' || byte == '\'' || (byte == '-' && next == '-') ||
               (byte == '[' && (next == '[' || next == '='));
    }

    // The first start of a string, comment or long string from on. Code is the bulk of a
    // script and holds few of them, so a block of bytes is looked at at a time where the
    // processor can.
    std::size_t nextCodeStop(std::size_t from) const {
#if defined(PARLUNE_WIDE_BLOCKS)
        if (WideBlocksAvailable())
            if (const std::size_t stop = codeStopInWideBlocks(script, from); stop != script.npos)
                return stop;
#endif
#if defined(__SSE2__)
        if (const std::size_t stop = codeStopInBlocks(script, from); stop != script.npos)
            return stop;
#endif
        while (from < script.size() && !isCodeStop(from))
            ++from;
        return from;
    }

    // The first byte from on that ends a short string, starts an escape in it or breaks it off;
    // sixteen bytes at a time where the processor can, as most literals are longer than a few.
    std::size_t nextStringStop(std::size_t from) const {
#if defined(__SSE2__)
        for (; from + 16 <= script.size(); from += 16) {
            const __m128i here = BlockAt(script.data() + from);
            const __m128i quotes = _mm_or_si128(EqualTo(here, '"'), EqualTo(here, '\''));
            const __m128i lineEnds = _mm_or_si128(EqualTo(here, '\r'), EqualTo(here, '\n'));
            if (const std::uint32_t stops =
                    MarkedBits(_mm_or_si128(EqualTo(here, '\\'), _mm_or_si128(quotes, lineEnds))))
                return from + FirstMarked(stops);
        }
#endif
        return skipTo(kStringStops, from);
    }

    std::size_t skipTo(const ByteSet& stops, std::size_t from) const {
        while (from < script.size() && !isIn(stops, script[from]))
            ++from;
        return from;
    }

    bool fail(std::size_t start) {
        unterminated = start;
        at = script.size();
        return false;
    }

    // The level of the long bracket "[==[" at open, or nothing when none starts there.
    std::optional<std::size_t> longBracketLevel(std::size_t open) const {
        std::size_t close = open + 1;
        while (close < script.size() && script[close] == '=')
            ++close;
        if (close < script.size() && script[close] == '[')
            return close - open - 1;
        return std::nullopt;
    }

    // Passes a long string or long comment whose bracket opens at open; a "[" that opens
    // none is passed alone. start is where the construct begins.
    bool skipLongString(std::size_t open, std::size_t start) {
        const std::optional<std::size_t> level = longBracketLevel(open);
        if (!level) {
            at = open + 1;
            return true;
        }
        const std::string closing = "]" + std::string(*level, '=') + "]";
        const std::size_t close = script.find(closing, open + *level + 2);
        if (close == std::string_view::npos)
            return fail(start);
        at = close + closing.size();
        return true;
    }

    // Passes a "-" alone, or a comment to the end of its line or of its long bracket.
    bool skipComment() {
        const std::size_t start = at;
        if (at + 1 >= script.size() || script[at + 1] != '-') {
            ++at;
            return true;
        }
        if (at + 2 < script.size() && script[at + 2] == '[' && longBracketLevel(at + 2))
            return skipLongString(at + 2, start);
        at = skipTo(kLineEnds, at + 2);
        return true;
    }

    bool readShortString() {
        const std::size_t open = at;
        const char quote = script[open];
        begin = open + 1;
        openEscapeEnds.clear();
        nextEscape = 0;
        for (std::size_t pos = begin; (pos = nextStringStop(pos)) < script.size();) {
            const char byte = script[pos];
            if (byte == quote) {
                end = pos;
                at = pos + 1;
                return true;
            }
            if (byte == '\r' || byte == '\n')
                break;
            pos = byte == '\\' ? skipEscape(pos + 1) : pos + 1;
        }
        return fail(open);
    }

    // Passes the escape whose backslash ends right before pos; returns where it ends.
    std::size_t skipEscape(std::size_t pos) {
        if (pos >= script.size())
            return pos;
        const char byte = script[pos++];
        if (byte == '\r' || byte == '\n') {
            // "\r\n" and "\n\r" after a backslash are one line end.
            if (pos < script.size() && (script[pos] == '\r' || script[pos] == '\n') &&
                script[pos] != byte)
                ++pos;
        } else if (byte == 'z') {
            pos = skipWhile(kSpaces, pos, script.size());
            openEscapeEnds.push_back(pos);
        } else if (isIn(kDigits, byte)) {
            const std::size_t digitsEnd = skipWhile(kDigits, pos, std::min(pos + 2, script.size()));
            if (digitsEnd - pos < 2)
                openEscapeEnds.push_back(digitsEnd);
            pos = digitsEnd;
        } else if (byte == 'x') {
            pos = skipWhile(kHexDigits, pos, std::min(pos + 2, script.size()));
        } else if (byte == 'u' && pos < script.size() && script[pos] == '{') {
            pos = skipWhile(kHexDigits, pos + 1, script.size());
            pos += pos < script.size() && script[pos] == '}' ? 1 : 0;
        }
        return pos;
    }

    std::size_t skipWhile(const ByteSet& set, std::size_t from, std::size_t limit) const {
        while (from < limit && isIn(set, script[from]))
            ++from;
        return from;
    }

    std::string_view script;
    std::size_t at;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::vector<std::size_t> openEscapeEnds;
    std::size_t nextEscape = 0;
    std::optional<std::size_t> unterminated;
};

} // namespace

bool IsPrecompiledLua(std::string_view script) {
    std::size_t first = script.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    if (first < script.size() && script[first] == '#') {
        // The loader reads the byte after the skipped line's LF first.
        const std::size_t lineEnd = script.find('\n', first);
        if (lineEnd == std::string_view::npos)
            return false;
        first = lineEnd + 1;
    }
    return first < script.size() && script[first] == '\x1B';
}

LuaPlaces PlaceLuaReferences(std::string_view script, const std::vector<Replacement>& references,
                             const std::vector<std::uint32_t>& unreadable) {
    LuaPlaces places;
    places.Replaceable.assign(references.size(), false);
    LuaScanner scanner(script);
    std::size_t nextUnreadable = 0;
    bool inLiteral = false;
    bool holdsUnreadable = false;
    const auto nextLiteral = [&] {
        inLiteral = scanner.NextLiteral();
        while (nextUnreadable < unreadable.size() && unreadable[nextUnreadable] < scanner.Begin())
            ++nextUnreadable;
        holdsUnreadable =
            nextUnreadable < unreadable.size() && unreadable[nextUnreadable] < scanner.End();
    };
    nextLiteral();
    for (std::size_t i = 0; i < references.size(); ++i) {
        const std::size_t offset = references[i].Offset;
        while (inLiteral && scanner.End() <= offset)
            nextLiteral();
        places.Replaceable[i] = inLiteral && scanner.Begin() <= offset && !holdsUnreadable &&
                                !scanner.AfterOpenEscape(offset);
    }
    while (inLiteral)
        nextLiteral();
    places.Unterminated = scanner.Unterminated();
    return places;
}

} // namespace parlune
