#include "processing/StringTable.h"

namespace parlune {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kHeaderMarker = "STRING ";
// Parsing takes the number from the header line after its first seven bytes, wherever
// "STRING " stands in the line.
constexpr std::size_t kHeaderPrefixLength = 7;

bool containsHeader(const std::string& line) {
    return line.find(kHeaderMarker) != std::string::npos;
}

// Reads the lines of a table, failing like a list index past the end would.
class LineCursor {
public:
    explicit LineCursor(const LineList& lines) : lines(lines) {}

    const std::string& at(std::size_t index) const {
        if (index >= lines.size())
            ThrowListIndexError(index);
        return lines[index];
    }

private:
    const LineList& lines;
};

void parseInto(LineList& lines, std::vector<TWTSEntry>& entries) {
    const LineCursor cursor(lines);
    std::size_t i = 0;
    for (;;) {
        while (i < lines.size() && !containsHeader(lines[i]))
            ++i;
        if (i == lines.size())
            return;
        TWTSEntry entry;
        entry.Id = StrToInt(std::string_view(lines[i]).substr(kHeaderPrefixLength));
        ++i;
        while (!cursor.at(i).starts_with('{'))
            ++i;
        ++i;
        while (!cursor.at(i).starts_with('}')) {
            entry.Lines.push_back(std::move(lines[i]));
            ++i;
        }
        entries.push_back(std::move(entry));
        // The closing line is examined again: it may hold the next header.
    }
}

std::size_t serialisedSize(const std::vector<TWTSEntry>& entries) {
    std::size_t size = kByteOrderMark.size();
    for (const TWTSEntry& entry : entries) {
        size += kHeaderMarker.size() + 11 + 2 + 3 + 3 + 2;
        for (const std::string& line : entry.Lines)
            size += line.size() + 2;
    }
    return size;
}

void appendLine(std::string& text, std::string_view line) {
    text += line;
    text += "\r\n";
}

} // namespace

LineList SplitTableLines(std::string_view data, std::string_view name) {
    const std::size_t nul = data.find('\0');
    // An empty member is a table without strings; one whose text ends before its first line
    // is damaged, as it always was. A NUL byte further on would hide the strings behind it.
    if (nul == 0)
        ThrowListIndexError(0);
    if (nul != std::string_view::npos)
        throw ProcessingError(std::string(name) + " is damaged: NUL byte at byte " +
                              std::to_string(nul));
    LineList lines = SplitLines(data);
    // Tables written by older tools and by protectors may lack the byte-order mark; only a
    // mark that is really there is removed, so no first string is cut.
    if (!lines.empty() && lines.front().starts_with(kByteOrderMark))
        lines.front().erase(0, kByteOrderMark.size());
    return lines;
}

ParsedTable ParseTableLines(LineList& lines) {
    ParsedTable table;
    try {
        parseInto(lines, table.Entries);
    } catch (const ProcessingError& failure) {
        table.Failure = failure;
    }
    return table;
}

std::string SerialiseTable(const std::vector<TWTSEntry>& entries) {
    if (entries.empty())
        return {};
    std::string table;
    table.reserve(serialisedSize(entries));
    table += kByteOrderMark;
    for (const TWTSEntry& entry : entries) {
        appendLine(table, std::string(kHeaderMarker) + std::to_string(entry.Id));
        appendLine(table, "{");
        for (const std::string& line : entry.Lines)
            appendLine(table, line);
        appendLine(table, "}");
        appendLine(table, "");
    }
    return table;
}

} // namespace parlune
