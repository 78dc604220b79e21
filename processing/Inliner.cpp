// The reference inliner: replaces the markers in the rewritten members by the strings'
// texts and prunes the table down to the strings that references left in place still need.
//
// Every member is read once. A first sweep finds the markers and decides each one; a second
// writes the new member into a buffer of the exact final size. Continuing the search in the
// old buffer right after each marker is what an in-place edit continuing right after the
// inserted text does, so inserted text is never searched again.

#include "processing/Inliner.h"

#include "processing/MapProcessor.h"
#include "processing/ProcessingError.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace parlune {

namespace {

constexpr std::string_view kSkinName = "war3mapSkin.txt";
constexpr std::string_view kScriptLineEnd = "\\r\\n";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLineEndAt(std::string_view text, std::size_t i) {
    return text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
}

std::size_t plainLength(const TWTSEntry& entry) {
    if (entry.Lines.empty())
        return 0;
    std::size_t length = 2 * (entry.Lines.size() - 1);
    for (const std::string& line : entry.Lines)
        length += line.size();
    return length;
}

// Each backslash and double quote gains a backslash; each CR LF becomes four characters.
std::size_t escapedLength(std::string_view line) {
    std::size_t length = line.size();
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' || line[i] == '"')
            ++length;
        else if (isLineEndAt(line, i))
            length += 2;
    }
    return length;
}

std::size_t scriptLength(const TWTSEntry& entry) {
    if (entry.Lines.empty())
        return 0;
    std::size_t length = kScriptLineEnd.size() * (entry.Lines.size() - 1);
    for (const std::string& line : entry.Lines)
        length += escapedLength(line);
    return length;
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

// A reference that is replaced: where its marker stands in the old member and what takes
// its place (nothing when the table has no string of that number).
struct Replacement {
    std::size_t offset;
    std::size_t markerLength;
    std::int32_t number;
    const IndexedString* string;
};

// The decisions for one member: the replacements in order, the member's size after them,
// and the failure that stopped the search, if any.
struct MemberPlan {
    std::vector<Replacement> replacements;
    std::size_t newSize = 0;
    std::exception_ptr failure;
};

struct MemberRules {
    bool script;
    bool skin;
};

std::size_t replacementLength(const IndexedString& string, MemberRules rules) {
    return rules.script ? string.scriptLength : string.plainLength;
}

// Too long a text crashes the game, and the skin file takes one line per value.
bool staysInPlace(const IndexedString& string, MemberRules rules) {
    return replacementLength(string, rules) >= kInlineLimit ||
           (rules.skin && string.entry->Lines.size() >= 2);
}

MemberPlan planMember(std::string_view data, MemberRules rules, const StringIndex& index,
                      RetainedIds& retained) {
    MemberPlan plan;
    plan.newSize = data.size();
    std::size_t at = data.find(kReferenceMarker);
    while (at != std::string_view::npos) {
        const std::string_view digits = DigitsAfterMarker(data, at);
        std::int32_t number = 0;
        try {
            number = StrToInt(digits);
        } catch (const ProcessingError&) {
            plan.failure = std::current_exception();
            break;
        }
        const std::size_t markerLength = kReferenceMarker.size() + digits.size();
        const IndexedString* string = index.Find(number);
        if (string && staysInPlace(*string, rules)) {
            retained.insert(number);
        } else {
            plan.replacements.push_back({at, markerLength, number, string});
            plan.newSize -= markerLength;
            plan.newSize += string ? replacementLength(*string, rules) : 0;
        }
        at = data.find(kReferenceMarker, at + markerLength);
    }
    return plan;
}

std::string inlinedLine(const Replacement& replacement, std::string_view name) {
    const std::string number = std::to_string(replacement.number);
    const std::string member(name);
    if (!replacement.string)
        return "          Removed reference to non-existant string " + number + " in " + member;
    const std::size_t lineCount = replacement.string->entry->Lines.size();
    if (lineCount >= 2)
        return "          Inlined string " + number + " with " + std::to_string(lineCount) +
               " lines into " + member;
    return "          Inlined string " + number + " into " + member;
}

void releaseSlot(MapFileSlot& slot) {
    std::string().swap(slot.Data);
    slot.Present = false;
}

} // namespace

StringIndex::StringIndex(const std::vector<TWTSEntry>& entries) {
    first.reserve(entries.size());
    for (const TWTSEntry& entry : entries) {
        const auto [slot, added] = first.try_emplace(entry.Id);
        if (added)
            slot->second = {&entry, plainLength(entry), scriptLength(entry)};
    }
}

const IndexedString* StringIndex::Find(std::int32_t id) const {
    const auto found = first.find(id);
    return found == first.end() ? nullptr : &found->second;
}

void AppendPlainText(std::string& out, const TWTSEntry& entry) {
    for (std::size_t i = 0; i < entry.Lines.size(); ++i) {
        if (i > 0)
            out += "\r\n";
        out += entry.Lines[i];
    }
}

void AppendScriptText(std::string& out, const TWTSEntry& entry) {
    for (std::size_t i = 0; i < entry.Lines.size(); ++i) {
        if (i > 0)
            out += kScriptLineEnd;
        appendEscaped(out, entry.Lines[i]);
    }
}

std::string_view DigitsAfterMarker(std::string_view data, std::size_t markerStart) {
    const std::size_t begin = std::min(markerStart + kReferenceMarker.size(), data.size());
    std::size_t end = begin;
    while (end < data.size() && isDigit(data[end]))
        ++end;
    return data.substr(begin, end - begin);
}

std::optional<std::int32_t> ReferenceNumber(std::string_view digits) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char digit : digits) {
        value = value * 10 + static_cast<unsigned>(digit - '0');
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
            return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::size_t KeepReferencedStrings(std::string_view data, RetainedIds& retained) {
    std::size_t count = 0;
    std::size_t at = data.find(kReferenceMarker);
    while (at != std::string_view::npos) {
        const std::string_view digits = DigitsAfterMarker(data, at);
        if (const auto number = ReferenceNumber(digits)) {
            retained.insert(*number);
            ++count;
        }
        at = data.find(kReferenceMarker, at + kReferenceMarker.size() + digits.size());
    }
    return count;
}

void MapProcessor::InlineStrings() {
    Log("Inlining trigger strings...");
    const std::size_t countBefore = Entries.size();
    RetainedIds retained;
    {
        const StringIndex index(Entries);
        for (std::size_t i = 0; i < kMapFileCount; ++i)
            InlineIntoFile(kMapFileNames[i], MapFiles[i].Present, MapFiles[i].Data, index,
                           retained);
    }
    keepScannedReferences(retained);
    Log("Removing inlined strings from war3map.wts...");
    pruneEntries(retained);
    Log("     Removed " + std::to_string(countBefore - Entries.size()) + " strings (" +
        std::to_string(Entries.size()) + " strings retained)");
}

void MapProcessor::InlineIntoFile(std::string_view name, bool present, std::string& data,
                                  const StringIndex& index, RetainedIds& retained) {
    if (!present)
        return;
    if (data.find(kReferenceMarker) == std::string::npos) {
        Log("     No strings to inline into " + std::string(name));
        return;
    }
    const MemberRules rules{name == kScriptName, name == kSkinName};
    const MemberPlan plan = planMember(data, rules, index, retained);
    const bool verbose = Verbose();
    if (!plan.replacements.empty()) {
        std::string rebuilt;
        rebuilt.reserve(plan.newSize);
        std::size_t copied = 0;
        for (const Replacement& replacement : plan.replacements) {
            rebuilt.append(data, copied, replacement.offset - copied);
            if (replacement.string && rules.script)
                AppendScriptText(rebuilt, *replacement.string->entry);
            else if (replacement.string)
                AppendPlainText(rebuilt, *replacement.string->entry);
            copied = replacement.offset + replacement.markerLength;
            if (verbose)
                Log(inlinedLine(replacement, name));
        }
        rebuilt.append(data, copied);
        // The old member is released here; only one member is ever held twice.
        data.swap(rebuilt);
    }
    // A bad marker ends the run after the references before it were replaced and reported.
    if (plan.failure)
        std::rethrow_exception(plan.failure);
    Log("     " + std::to_string(plan.replacements.size()) + " strings inlined into " +
        std::string(name));
}

void MapProcessor::keepScannedReferences(RetainedIds& retained) {
    for (std::size_t i = 0; i < kScannedFileCount; ++i) {
        MapFileSlot& slot = ScannedFiles[i];
        if (slot.Present) {
            const std::size_t count = KeepReferencedStrings(slot.Data, retained);
            if (count > 0)
                Log("     " + std::to_string(count) + " references kept in " +
                    std::string(kScannedFileNames[i]));
        }
        releaseSlot(slot);
    }
}

void MapProcessor::pruneEntries(const RetainedIds& retained) {
    const auto unneeded = [&](const TWTSEntry& entry) { return !retained.contains(entry.Id); };
    // Removals are reported from the last entry to the first, by position in the table.
    if (Verbose())
        for (std::size_t k = Entries.size(); k-- > 0;)
            if (unneeded(Entries[k]))
                Log("          Removed string " + std::to_string(k));
    std::erase_if(Entries, unneeded);
}

} // namespace parlune
