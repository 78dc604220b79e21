// The reference inliner: replaces the markers in the rewritten members by the strings'
// texts and prunes the table down to the strings that references left in place still need.
//
// Each member is searched once, front to back; every marker's string is looked up in an index
// built once per inlining, and a replaced marker is recorded rather than edited, so no member
// is ever copied or moved. Continuing the search in the old bytes right after each marker is
// what an edit continuing right after the inserted text does, so inserted text is never
// searched again.

#include "processing/Inliner.h"

#include "processing/MapProcessor.h"
#include "processing/ProcessingError.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <optional>

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

// Whether the script's text of the string differs from its plain text.
bool needsEscaping(const LineList& lines) {
    if (lines.size() >= 2)
        return true;
    for (const std::string& line : lines)
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

std::size_t joinedLength(const LineList& lines) {
    std::size_t length = lines.empty() ? 0 : kLineEnd.size() * (lines.size() - 1);
    for (const std::string& line : lines)
        length += line.size();
    return length;
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

struct MemberRules {
    bool script;
    bool skin;
};

// A reference in a member: where its marker stands and the number it names.
struct FoundReference {
    std::uint32_t offset;
    std::uint32_t length;
    std::int32_t number;
    std::uint32_t place;
};

// A member's references in order, up to the first marker without a number, and the failure
// such a marker raised.
struct FoundReferences {
    std::vector<FoundReference> references;
    std::exception_ptr failure;
};

// Searches the whole member before any string is looked up: the look-ups then run in a loop of
// their own, where they do not wait for each other.
FoundReferences findReferences(std::string_view data) {
    FoundReferences found;
    for (std::size_t at = data.find(kReferenceMarker); at != std::string_view::npos;) {
        const std::string_view digits = DigitsAfterMarker(data, at);
        std::int32_t number = 0;
        try {
            number = StrToInt(digits);
        } catch (const ProcessingError&) {
            found.failure = std::current_exception();
            break;
        }
        const std::size_t length = kReferenceMarker.size() + digits.size();
        found.references.push_back({static_cast<std::uint32_t>(at),
                                    static_cast<std::uint32_t>(length), number,
                                    StringIndex::kNotFound});
        at = data.find(kReferenceMarker, at + length);
    }
    return found;
}

// The text that replaces a reference to the string at place, nothing for a string the table
// lacks; or no text at all when the reference stays: too long a text crashes the game, and the
// skin file takes one line per value.
std::optional<TextSpan> replacementText(std::uint32_t place, MemberRules rules,
                                        const StringIndex& index) {
    if (place == StringIndex::kNotFound)
        return TextSpan{};
    if (rules.skin && index.Entry(place).Lines.size() >= 2)
        return std::nullopt;
    const TextSpan text = index.Text(place, rules.script);
    if (text.length >= kInlineLimit)
        return std::nullopt;
    return text;
}

// Members and the table are capped well below 4 GiB on extraction; this guards the 32-bit
// offsets of the replacements against members made some other way.
void checkOffsetsFit(std::string_view name, std::size_t size) {
    if (size > std::numeric_limits<std::uint32_t>::max())
        throw ProcessingError(std::string(name) + " is too large (" + std::to_string(size) +
                              " bytes)!");
}

std::string inlinedLine(const FoundReference& reference, const StringIndex& index,
                        std::string_view name) {
    const std::string number = std::to_string(reference.number);
    const std::string member(name);
    if (reference.place == StringIndex::kNotFound)
        return "          Removed reference to non-existant string " + number + " in " + member;
    const std::size_t lineCount = index.Entry(reference.place).Lines.size();
    if (lineCount >= 2)
        return "          Inlined string " + number + " with " + std::to_string(lineCount) +
               " lines into " + member;
    return "          Inlined string " + number + " into " + member;
}

void releaseSlot(MapFileSlot& slot) {
    slot = MapFileSlot();
}

} // namespace

StringIndex::StringIndex(const std::vector<TWTSEntry>& tableEntries, std::string& textStore)
    : texts(textStore) {
    std::size_t capacity = 16;
    unsigned bits = 4;
    while (capacity < 2 * tableEntries.size()) {
        capacity *= 2;
        ++bits;
    }
    slots.assign(capacity, Slot{0, 0});
    shift = 32 - bits;
    entries.reserve(tableEntries.size());
    for (const TWTSEntry& entry : tableEntries) {
        Slot& slot = slots[slotOf(entry.Id)];
        if (slot.position != 0)
            continue;
        entries.push_back(&entry);
        slot = {entry.Id, static_cast<std::uint32_t>(entries.size())};
    }
    plainTexts.resize(entries.size());
    scriptTexts.resize(entries.size());
    requests.resize(entries.size());
    reserveTexts();
}

// Grown by doubling, the texts would be copied into fresh memory again and again; room for
// every text that could be kept is set aside once instead. Memory that no text reaches is
// never touched, so it costs address space only.
void StringIndex::reserveTexts() {
    std::size_t room = texts.size();
    for (const TWTSEntry* entry : entries)
        if (const std::size_t length = joinedLength(entry->Lines); length < kInlineLimit)
            room += kMostBytesOfBoth * length;
    texts.reserve(room);
}

std::uint32_t StringIndex::Find(std::int32_t id) const {
    const std::uint32_t position = slots[slotOf(id)].position;
    return position == 0 ? kNotFound : position - 1;
}

std::size_t StringIndex::slotOf(std::int32_t id) const {
    // Multiplicative hashing spreads runs of consecutive numbers, the usual table, evenly.
    std::size_t slot = (static_cast<std::uint32_t>(id) * 2654435769u) >> shift;
    while (slots[slot].position != 0 && slots[slot].id != id)
        slot = (slot + 1) & (slots.size() - 1);
    return slot;
}

void StringIndex::Request(std::uint32_t place, bool script) {
    requests[place] |= script ? kScriptRequested : kPlainRequested;
}

void StringIndex::MakeRequestedTexts() {
    for (std::size_t place = 0; place < entries.size(); ++place) {
        const std::uint8_t requested = requests[place];
        if (requested == 0)
            continue;
        requests[place] = 0;
        const TWTSEntry& entry = *entries[place];
        TextSpan& plain = plainTexts[place];
        TextSpan& script = scriptTexts[place];
        const bool scriptWanted = (requested & kScriptRequested) && !script.made;
        const bool ownScriptText = scriptWanted && needsEscaping(entry.Lines);
        // Where nothing needs escaping, both members read the one plain text.
        if (!plain.made && ((requested & kPlainRequested) || (scriptWanted && !ownScriptText)))
            plain = makeText(entry, false);
        if (scriptWanted)
            script = ownScriptText ? makeText(entry, true) : plain;
    }
}

TextSpan StringIndex::Text(std::uint32_t place, bool script) const {
    return script ? scriptTexts[place] : plainTexts[place];
}

TextSpan StringIndex::makeText(const TWTSEntry& entry, bool script) {
    const std::size_t offset = texts.size();
    if (joinedLength(entry.Lines) >= kInlineLimit) // escaping only ever adds bytes
        return {static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(kInlineLimit), true};
    if (script)
        appendScriptText(texts, entry.Lines);
    else
        appendJoined(texts, entry.Lines);
    const std::size_t length = texts.size() - offset;
    // A text that is never inserted is not kept; its length only needs to tell that.
    if (length >= kInlineLimit)
        texts.resize(offset);
    checkOffsetsFit(kStringTableName, texts.size());
    return {static_cast<std::uint32_t>(offset),
            static_cast<std::uint32_t>(std::min(length, kInlineLimit)), true};
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
    InlinedTexts.clear();
    {
        StringIndex index(Entries, InlinedTexts);
        for (std::size_t i = 0; i < kMapFileCount; ++i)
            InlineIntoFile(kMapFileNames[i], MapFiles[i], index, retained);
    }
    keepScannedReferences(retained);
    Log("Removing inlined strings from war3map.wts...");
    pruneEntries(retained);
    Log("     Removed " + std::to_string(countBefore - Entries.size()) + " strings (" +
        std::to_string(Entries.size()) + " strings retained)");
}

void MapProcessor::InlineIntoFile(std::string_view name, MapFileSlot& slot, StringIndex& index,
                                  RetainedIds& retained) {
    slot.Replacements.clear();
    if (!slot.Present)
        return;
    checkOffsetsFit(name, slot.Data.size());
    FoundReferences found = findReferences(slot.Data);
    if (found.references.empty() && !found.failure) {
        Log("     No strings to inline into " + std::string(name));
        return;
    }
    const MemberRules rules{name == kScriptName, name == kSkinName};
    for (FoundReference& reference : found.references) {
        reference.place = index.Find(reference.number);
        if (reference.place != StringIndex::kNotFound)
            index.Request(reference.place, rules.script);
    }
    index.MakeRequestedTexts();
    slot.Replacements.reserve(found.references.size());
    for (const FoundReference& reference : found.references) {
        if (const auto text = replacementText(reference.place, rules, index)) {
            slot.Replacements.push_back(
                {reference.offset, reference.length, text->offset, text->length});
            if (Verbose())
                Log(inlinedLine(reference, index, name));
        } else {
            retained.insert(reference.number);
        }
    }
    // A bad marker ends the run after the references before it were replaced and reported.
    if (found.failure)
        std::rethrow_exception(found.failure);
    Log("     " + std::to_string(slot.Replacements.size()) + " strings inlined into " +
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
