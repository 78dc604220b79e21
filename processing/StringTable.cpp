// Reading and writing the trigger-string table "war3map.wts".

#include "processing/MapProcessor.h"
#include "processing/ProcessingError.h"

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

void MapProcessor::LoadStringTable() {
    logStep("Loading war3map.wts...");
    StringTableLines = SplitLines(StringTableData);
    // An empty member is a table without strings; one whose text ends before its first line
    // (a NUL byte first) is damaged.
    if (StringTableLines.empty() && !StringTableData.empty())
        ThrowListIndexError(0);
    // Tables written by older tools and by protectors may lack the byte-order mark; only a
    // mark that is really there is removed, so no first string is cut.
    if (!StringTableLines.empty() && StringTableLines.front().starts_with(kByteOrderMark))
        StringTableLines.front().erase(0, kByteOrderMark.size());
    logResult(std::to_string(StringTableLines.size()) + " lines loaded");
}

void MapProcessor::ParseStringTable() {
    logStep("Parsing war3map.wts...");
    Entries.clear();
    const LineCursor lines(StringTableLines);
    const std::size_t count = StringTableLines.size();
    std::size_t i = 0;
    for (;;) {
        while (i < count && !containsHeader(StringTableLines[i]))
            ++i;
        if (i == count)
            break;
        TWTSEntry entry;
        entry.Id = StrToInt(std::string_view(StringTableLines[i]).substr(kHeaderPrefixLength));
        ++i;
        while (!lines.at(i).starts_with('{'))
            ++i;
        ++i;
        while (!lines.at(i).starts_with('}')) {
            entry.Lines.push_back(std::move(StringTableLines[i]));
            ++i;
        }
        Entries.push_back(std::move(entry));
        if (Verbose())
            logDetail("Found string " + std::to_string(Entries.back().Id));
        // The closing line is examined again: it may hold the next header.
    }
    LineList().swap(StringTableLines); // give the memory back: the later phases need it
    logResult(std::to_string(Entries.size()) + " strings found");
}

void MapProcessor::WriteStringTable() {
    StringTableData.clear();
    logStep("Writing new war3map.wts...");
    if (Entries.empty()) {
        logResult("No strings to write");
        return;
    }
    std::string table;
    table.reserve(serialisedSize(Entries));
    table += kByteOrderMark;
    for (const TWTSEntry& entry : Entries) {
        appendLine(table, std::string(kHeaderMarker) + std::to_string(entry.Id));
        appendLine(table, "{");
        for (const std::string& line : entry.Lines)
            appendLine(table, line);
        appendLine(table, "}");
        appendLine(table, "");
        if (Verbose())
            logDetail("Added string " + std::to_string(entry.Id));
    }
    StringTableData = std::move(table);
    logResult("Done");
}

} // namespace parlune
