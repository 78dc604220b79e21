// The reference inliner: replaces the markers in the rewritten members by the strings'
// texts and prunes the table down to the strings that references left in place still need.
//
// Each member is searched once for its markers; then every marker's string is looked up in an
// index built once per inlining, and the member is rewritten in its own buffer, each stretch
// of bytes moved once. Continuing the search in the old bytes right after each marker is what
// an edit continuing right after the inserted text does, so inserted text is never searched
// again.

#include "processing/Inliner.h"

#include "processing/MapProcessor.h"
#include "processing/ProcessingError.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>

namespace parlune {

namespace {

constexpr std::string_view kSkinName = "war3mapSkin.txt";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kScriptLineEnd = "\\r\\n";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLineEndAt(std::string_view text, std::size_t i) {
    return text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
}

bool needsEscaping(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == '\\' || line[i] == '"' || isLineEndAt(line, i))
            return true;
    return false;
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

void appendJoined(std::string& out, const LineList& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += kLineEnd;
        out += lines[i];
    }
}

void appendScriptText(std::string& out, const LineList& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += kScriptLineEnd;
        appendEscaped(out, lines[i]);
    }
}

// A text made for a string, as its place among the texts of the index.
struct TextSpan {
    bool made = false;
    std::size_t offset = 0;
    std::size_t length = 0;
};

struct MemberRules {
    bool script;
    bool skin;
};

// A reference in a member: where its marker stands in the old member, the string it names
// (none when the table has no string of that number) and the text that replaces it.
struct Reference {
    std::size_t offset;
    std::size_t markerLength;
    std::int32_t number;
    const IndexedString* string;
    std::string_view text;

    std::ptrdiff_t growth() const {
        return static_cast<std::ptrdiff_t>(text.size()) - static_cast<std::ptrdiff_t>(markerLength);
    }
};

// One member's references in order (once planned, only those that are replaced), the member's
// size after the replacements, and the failure that stopped the search, if any.
struct MemberPlan {
    std::vector<Reference> references;
    std::size_t newSize = 0;
    std::exception_ptr failure;
};

std::string_view replacementText(const IndexedString& string, MemberRules rules) {
    return rules.script ? string.script : string.plain;
}

// Too long a text crashes the game, and the skin file takes one line per value.
bool staysInPlace(const IndexedString& string, MemberRules rules) {
    return replacementText(string, rules).size() >= kInlineLimit ||
           (rules.skin && string.entry->Lines.size() >= 2);
}

// Finds the markers and reads their numbers, stopping at the first that has none.
MemberPlan findMarkers(std::string_view data) {
    MemberPlan plan;
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
        plan.references.push_back({at, markerLength, number, nullptr, {}});
        at = data.find(kReferenceMarker, at + markerLength);
    }
    return plan;
}

// Looks up every marker's string and keeps only the references that are replaced. The
// look-ups run in a loop of their own, where they do not wait for each other.
MemberPlan planMember(std::string_view data, MemberRules rules, const StringIndex& index,
                      RetainedIds& retained) {
    MemberPlan plan = findMarkers(data);
    plan.newSize = data.size();
    std::size_t kept = 0;
    for (Reference& reference : plan.references) {
        reference.string = index.Find(reference.number);
        if (reference.string && staysInPlace(*reference.string, rules)) {
            retained.insert(reference.number);
            continue;
        }
        if (reference.string)
            reference.text = replacementText(*reference.string, rules);
        plan.newSize = plan.newSize - reference.markerLength + reference.text.size();
        plan.references[kept++] = reference;
    }
    plan.references.resize(kept);
    return plan;
}

// Rewrites the member in its own buffer. The bytes after each reference move by the sum of
// the growths so far; stretches that move towards the front are placed front to back and
// those that move towards the back are placed back to front, so every stretch is moved before
// anything is written over it.
void applyInPlace(std::string& data, const MemberPlan& plan) {
    const std::vector<Reference>& references = plan.references;
    const std::size_t oldSize = data.size();
    if (plan.newSize > oldSize)
        data.resize(plan.newSize);
    char* const bytes = data.data();
    const auto place = [&](std::size_t k, std::ptrdiff_t shift) {
        const Reference& reference = references[k];
        const std::size_t from = reference.offset + reference.markerLength;
        const std::size_t to = k + 1 < references.size() ? references[k + 1].offset : oldSize;
        char* const moved = bytes + from + shift;
        std::memmove(moved, bytes + from, to - from);
        if (!reference.text.empty())
            std::memcpy(moved - reference.text.size(), reference.text.data(),
                        reference.text.size());
    };
    std::ptrdiff_t shift = 0;
    for (std::size_t k = 0; k < references.size(); ++k) {
        shift += references[k].growth();
        if (shift <= 0)
            place(k, shift);
    }
    for (std::size_t k = references.size(); k-- > 0;) {
        if (shift > 0)
            place(k, shift);
        shift -= references[k].growth();
    }
    if (plan.newSize < oldSize)
        data.resize(plan.newSize);
}

std::string inlinedLine(const Reference& reference, std::string_view name) {
    const std::string number = std::to_string(reference.number);
    const std::string member(name);
    if (!reference.string)
        return "          Removed reference to non-existant string " + number + " in " + member;
    const std::size_t lineCount = reference.string->entry->Lines.size();
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
    std::size_t capacity = 16;
    unsigned bits = 4;
    while (capacity < 2 * entries.size()) {
        capacity *= 2;
        ++bits;
    }
    slots.assign(capacity, Slot{0, 0});
    shift = 32 - bits;
    strings.reserve(entries.size());
    for (const TWTSEntry& entry : entries) {
        Slot& slot = slots[slotOf(entry.Id)];
        if (slot.position != 0)
            continue;
        strings.push_back({entry.Id, &entry, {}, {}});
        slot = {entry.Id, static_cast<std::uint32_t>(strings.size())};
    }
    makeTexts();
}

const IndexedString* StringIndex::Find(std::int32_t id) const {
    const std::uint32_t position = slots[slotOf(id)].position;
    return position == 0 ? nullptr : &strings[position - 1];
}

std::size_t StringIndex::slotOf(std::int32_t id) const {
    // Multiplicative hashing spreads runs of consecutive numbers, the usual table, evenly.
    std::size_t slot = (static_cast<std::uint32_t>(id) * 2654435769u) >> shift;
    while (slots[slot].position != 0 && slots[slot].id != id)
        slot = (slot + 1) & (slots.size() - 1);
    return slot;
}

// A single line serves as it stands; joined and escaped texts are made once, here. Their
// views are taken when all are made, as the texts may move while they grow.
void StringIndex::makeTexts() {
    const auto make = [&](const auto& append) {
        const std::size_t offset = texts.size();
        append();
        return TextSpan{true, offset, texts.size() - offset};
    };
    std::vector<std::pair<TextSpan, TextSpan>> spans;
    spans.reserve(strings.size());
    for (const IndexedString& string : strings) {
        const LineList& lines = string.entry->Lines;
        TextSpan plain;
        TextSpan script;
        if (lines.size() >= 2)
            plain = make([&] { appendJoined(texts, lines); });
        if (lines.size() >= 2 || std::any_of(lines.begin(), lines.end(), needsEscaping))
            script = make([&] { appendScriptText(texts, lines); });
        spans.emplace_back(plain, script);
    }
    const auto view = [&](TextSpan span) {
        return std::string_view(texts).substr(span.offset, span.length);
    };
    for (std::size_t i = 0; i < strings.size(); ++i) {
        IndexedString& string = strings[i];
        const LineList& lines = string.entry->Lines;
        if (spans[i].first.made)
            string.plain = view(spans[i].first);
        else if (lines.size() == 1)
            string.plain = lines.front();
        string.script = spans[i].second.made ? view(spans[i].second) : string.plain;
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
    if (!plan.references.empty())
        applyInPlace(data, plan);
    if (Verbose())
        for (const Reference& reference : plan.references)
            Log(inlinedLine(reference, name));
    // A bad marker ends the run after the references before it were replaced and reported.
    if (plan.failure)
        std::rethrow_exception(plan.failure);
    Log("     " + std::to_string(plan.references.size()) + " strings inlined into " +
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
