// The reference inliner: replaces the markers in the rewritten members by the strings'
// texts and prunes the table down to the strings that references left in place still need.
//
// Each member is searched once, front to back; every marker's string is looked up in an index
// built once per inlining, and a replaced marker is recorded rather than edited, so no member
// is ever copied or moved. Continuing the search in the old bytes right after each marker is
// what an edit continuing right after the inserted text does, so inserted text is never
// searched again.

#include "processing/Inliner.h"

#include "processing/InlinedText.h"
#include "processing/MapProcessor.h"
#include "processing/ProcessingError.h"
#include "processing/Translations.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace parlune {

namespace {

// Every length from kInlineLimit up says the same: too long to be inserted. So 16 bits hold
// every length kept.
std::uint16_t capped(std::size_t length) {
    return static_cast<std::uint16_t>(std::min(length, kInlineLimit));
}

struct MemberRules {
    TextForm form;
    bool skin;
};

MemberRules rulesFor(std::string_view name) {
    const TextForm form = name == kScriptName      ? TextForm::Jass
                          : name == kLuaScriptName ? TextForm::Lua
                                                   : TextForm::Plain;
    return {form, name == kSkinName};
}

// Bytes on either side of a text that can join it into a marker: one fewer than a marker's.
constexpr std::size_t kJoiningBytes = kReferenceMarker.size() - 1;

// What the bytes around a reference tell of the texts that could join them into a marker,
// noted by the search while they are at hand. A reference with none of these is decided
// without reading the member again.
enum Surroundings : std::uint8_t {
    kCloseToLast = 1,      // the last reference's digits end fewer than kJoiningBytes before it
    kAfterMarkerStart = 2, // the bytes before it may end in the start of a marker
    kBeforeMarkerRest = 4, // the byte after its digits may go on with a marker's start
    kMustStay = 8,         // no text may stand where it is (Lua: outside a short literal)
};

// For every byte: whether a proper prefix of the marker ends in it, and whether the rest of
// the marker after such a prefix begins with it. Looked up for every reference.
enum ByteRole : std::uint8_t { kEndsPrefix = 1, kStartsRest = 2 };

constexpr std::array<std::uint8_t, 256> kByteRoles = [] {
    std::array<std::uint8_t, 256> roles{};
    for (std::size_t length = 1; length < kReferenceMarker.size(); ++length) {
        roles[static_cast<unsigned char>(kReferenceMarker[length - 1])] |= kEndsPrefix;
        roles[static_cast<unsigned char>(kReferenceMarker[length])] |= kStartsRest;
    }
    return roles;
}();

bool hasRole(char byte, ByteRole role) {
    return (kByteRoles[static_cast<unsigned char>(byte)] & role) != 0;
}

std::uint8_t surroundingsOf(std::string_view data, std::size_t lastEnd, std::size_t start,
                            std::size_t end) {
    std::uint8_t surroundings = 0;
    if (start - lastEnd < kJoiningBytes)
        surroundings |= kCloseToLast;
    else if (hasRole(data[start - 1], kEndsPrefix))
        surroundings |= kAfterMarkerStart;
    if (end < data.size() && hasRole(data[end], kStartsRest))
        surroundings |= kBeforeMarkerRest;
    return surroundings;
}

// Records a replacement, with the number it names, and its surroundings for every reference
// in the member up to the first marker whose digits name no number. Returns those digits, or
// nothing when there is no such marker. With unreadable, every reference is recorded and the
// offsets of the markers without a number go there instead.
std::optional<std::string_view> findReferences(std::string_view data,
                                               std::vector<Replacement>& found,
                                               std::vector<std::uint8_t>& surroundings,
                                               std::vector<std::uint32_t>* unreadable) {
    std::size_t lastEnd = 0;
    for (std::size_t at = FindReferenceMarker(data, 0); at != std::string_view::npos;) {
        const std::string_view digits = DigitsAfterMarker(data, at);
        const std::optional<std::int32_t> number = ReferenceNumber(digits);
        if (!number && !unreadable)
            return digits;
        if (!number) {
            unreadable->push_back(static_cast<std::uint32_t>(at));
            at = FindReferenceMarker(data, at + kReferenceMarker.size() + digits.size());
            continue;
        }
        found.push_back({static_cast<std::uint32_t>(at), *number, kMissingString});
        const std::size_t end = at + kReferenceMarker.size() + digits.size();
        surroundings.push_back(surroundingsOf(data, lastEnd, at, end));
        lastEnd = end;
        at = FindReferenceMarker(data, end);
    }
    return std::nullopt;
}

// Finds the entry of the number each found reference names, and asks for the texts they need. The
// look-ups run in a loop of their own, after the search, where they do not wait for each other; the
// index is read a few references ahead, so that its memory is at hand when the look-up comes.
void lookUpStrings(std::vector<Replacement>& found, TextForm form, StringIndex& index) {
    constexpr std::size_t kReadAhead = 16;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (i + kReadAhead < found.size())
            index.Prefetch(found[i + kReadAhead].Number);
        Replacement& reference = found[i];
        reference.Entry = index.Find(reference.Number);
        if (reference.Entry != StringIndex::kNotFound)
            index.Request(reference.Entry, form);
    }
}

// Whether a reference to the string at place stays: too long a text crashes the game, and the
// skin file takes one line per value.
bool staysInPlace(std::uint32_t place, MemberRules rules, const StringIndex& index) {
    return index.TextLength(place, rules.form) >= kInlineLimit ||
           (rules.skin && index.Entry(place).Lines.size() >= 2);
}

// What becomes of a reference: its string's text takes its place, or it stays, for the text's
// sake or for the translations' sake.
enum class Outcome { Replaced, Kept, KeptForTranslations };

// Follows a member's new bytes as its references are decided front to back, far enough to
// keep every insertion from changing which string a marker names: a text may not make a
// marker with the bytes around it, nor run on the digits of a marker left in place. What is
// followed is how many bytes of a marker's start the new bytes end with, and whether they end
// in the digits of a marker left in place.
class MarkerGuard {
public:
    MarkerGuard(std::string_view data, const StringIndex& index, TextForm form)
        : data(data), index(index), form(form) {}

    // Decides the reference of replacement, with its surroundings, whose string must stay in
    // place when mustStay and may stay for translations when translated, and follows the new
    // bytes past it.
    Outcome Decide(const Replacement& replacement, std::uint8_t surroundings, bool mustStay,
                   bool translated) {
        passTo(replacement.Offset, surroundings);
        const Outcome outcome = mustStay || !allows(replacement, surroundings) ? Outcome::Kept
                                : translated ? Outcome::KeptForTranslations
                                             : Outcome::Replaced;
        if (outcome != Outcome::Replaced) {
            markerStart = 0; // the new bytes end in the marker's digits
            inDigits = true;
        } else if (textLength(replacement.Entry) > 0) {
            markerStart = startAtEnd;
            inDigits = false;
        }
        last = replacement.Offset;
        return outcome;
    }

private:
    std::size_t endOf(std::size_t offset) const {
        return offset + kReferenceMarker.size() + DigitsAfterMarker(data, offset).size();
    }

    std::size_t textLength(std::uint32_t place) const {
        return place == StringIndex::kNotFound ? 0 : index.TextLength(place, form);
    }

    // Takes the member's own bytes from the last reference's digits up to offset. The first of
    // them is no digit.
    void passTo(std::size_t offset, std::uint8_t surroundings) {
        if ((surroundings & (kCloseToLast | kAfterMarkerStart)) == 0) {
            markerStart = 0;
            inDigits = false;
            return;
        }
        const std::size_t passed = last == std::string_view::npos ? 0 : endOf(last);
        if (offset == passed)
            return;
        const std::string_view bytes = data.substr(passed, offset - passed);
        markerStart = bytes.size() >= kJoiningBytes || markerStart == 0
                          ? MarkerStartAtEnd(bytes)
                          : MarkerStartAtEnd(std::string(kReferenceMarker.substr(0, markerStart)) +
                                             std::string(bytes));
        inDigits = false;
    }

    // Whether the text of the reference's string may stand between the new bytes so far and
    // the bytes after the reference; sets startAtEnd for the new bytes with the text in place.
    bool allows(const Replacement& replacement, std::uint8_t surroundings) {
        const std::uint32_t place = replacement.Entry;
        const TextEdges edges = place == StringIndex::kNotFound ? TextEdges() : index.Edges(place);
        const bool empty = textLength(place) == 0;
        if (edges.holdsMarker || (inDigits && !empty && edges.startsWithDigit))
            return false;
        const auto after = [&] { return data.substr(endOf(replacement.Offset), kJoiningBytes); };
        if (markerStart == 0) {
            startAtEnd = edges.markerStartAtEnd;
            return startAtEnd == 0 || (surroundings & kBeforeMarkerRest) == 0 ||
                   !makesMarker(startAtEnd, {}, after());
        }
        // Rare: the new bytes so far end in a marker's start, so the text itself is looked at.
        const std::string_view text =
            empty ? std::string_view() : InlinedText(index.Entry(place).Lines, form, scratch);
        startAtEnd = MarkerStartAtEnd(std::string(kReferenceMarker.substr(0, markerStart)) +
                                      std::string(text));
        return !makesMarker(markerStart, text, after());
    }

    // Whether a marker's first start bytes, text and after hold a marker. None of the three
    // holds one on its own.
    static bool makesMarker(std::size_t start, std::string_view text, std::string_view after) {
        const std::string joined =
            std::string(kReferenceMarker.substr(0, start)) + std::string(text) + std::string(after);
        return joined.find(kReferenceMarker) != std::string::npos;
    }

    std::string_view data;
    const StringIndex& index;
    TextForm form;
    std::size_t last = std::string_view::npos; // the offset of the last reference decided
    std::size_t markerStart = 0;
    bool inDigits = false;
    std::size_t startAtEnd = 0;
    std::string scratch;
};

// Members and the table are capped well below 4 GiB on extraction; this guards the 32-bit
// offsets of the replacements against members made some other way.
void checkOffsetsFit(std::string_view name, std::size_t size) {
    if (size > std::numeric_limits<std::uint32_t>::max())
        ThrowTooLarge(std::string(name), size);
}

std::string decisionLine(const Replacement& replacement, Outcome outcome, const StringIndex& index,
                         std::string_view name) {
    const std::string number = std::to_string(replacement.Number);
    const std::string member(name);
    if (outcome == Outcome::KeptForTranslations)
        return "Kept string " + number + " for translations";
    if (replacement.Entry == StringIndex::kNotFound)
        return "Removed reference to non-existant string " + number + " in " + member;
    const std::size_t lineCount = index.Entry(replacement.Entry).Lines.size();
    if (lineCount >= 2)
        return "Inlined string " + number + " with " + std::to_string(lineCount) + " lines into " +
               member;
    return "Inlined string " + number + " into " + member;
}

// Whether a reference must stay for the translations: its string's translations differ from
// the root table's text, or the root table lacks a string that a translation may hold.
bool keptForTranslations(const Replacement& replacement, const Translations& translations) {
    return replacement.Entry == StringIndex::kNotFound ? translations.Hold(replacement.Number)
                                                       : !translations.Agree(replacement.Entry);
}

struct Decisions {
    std::size_t replaced = 0;
    std::size_t keptForTranslations = 0;
};

// Decides the found references front to back. A reference whose string's text takes its
// place stays in the slot; the string of every other one is retained, and report hears of
// every reference but those kept for the text's sake.
template <typename Report>
Decisions decideReferences(MapFileSlot& slot, const std::vector<std::uint8_t>& surroundings,
                           MemberRules rules, StringIndex& index, const Translations& translations,
                           RetainedIds& retained, Report&& report) {
    std::vector<Replacement>& replacements = slot.Replacements;
    MarkerGuard guard(slot.Data, index, rules.form);
    Decisions decisions;
    for (std::size_t i = 0; i < replacements.size(); ++i) {
        const Replacement replacement = replacements[i];
        const bool missing = replacement.Entry == StringIndex::kNotFound;
        const bool mustStay = (surroundings[i] & kMustStay) != 0 ||
                              (!missing && staysInPlace(replacement.Entry, rules, index));
        const Outcome outcome = guard.Decide(replacement, surroundings[i], mustStay,
                                             keptForTranslations(replacement, translations));
        if (outcome != Outcome::Replaced) {
            retained.insert(replacement.Number);
            if (outcome == Outcome::KeptForTranslations) {
                ++decisions.keptForTranslations;
                report(replacement, outcome);
            }
            continue;
        }
        if (!missing)
            index.MarkInserted(replacement.Entry);
        replacements[decisions.replaced++] = replacement;
        report(replacement, outcome);
    }
    replacements.resize(decisions.replaced);
    return decisions;
}

void prefetchFirstLine(const LineList& lines) {
    if (!lines.empty())
        __builtin_prefetch(lines.front().data());
}

void releaseSlot(MapFileSlot& slot) {
    slot = MapFileSlot();
}

} // namespace

StringIndex::StringIndex(const std::vector<TWTSEntry>& entries) : table(entries) {
    placeNumbersInRange();
    // A later entry with the same number is never found, as in a scan from the front.
    if (!numbersInRange())
        for (std::size_t place = 0; place < entries.size(); ++place)
            placesById.Add(entries[place].Id, static_cast<std::uint32_t>(place + 1));
    for (std::vector<std::uint16_t>& formLengths : lengths)
        formLengths.assign(entries.size(), kUnmeasured);
    edges.assign(entries.size(), {});
    marks.assign(entries.size(), 0);
}

void StringIndex::placeNumbersInRange() {
    if (table.empty())
        return;
    const auto [lowest, highest] =
        std::minmax_element(table.begin(), table.end(),
                            [](const TWTSEntry& a, const TWTSEntry& b) { return a.Id < b.Id; });
    const auto range = static_cast<std::uint64_t>(static_cast<std::int64_t>(highest->Id) -
                                                  static_cast<std::int64_t>(lowest->Id)) +
                       1;
    if (range > 2 * static_cast<std::uint64_t>(table.size()))
        return;
    lowestId = lowest->Id;
    placesByNumber.assign(range, 0);
    for (std::size_t place = table.size(); place-- > 0;)
        placesByNumber[rangeOffset(table[place].Id)] = static_cast<std::uint32_t>(place + 1);
}

std::uint32_t StringIndex::Find(std::int32_t id) const {
    std::uint32_t position = 0;
    if (!numbersInRange())
        position = placesById.Get(id);
    else if (const std::uint64_t offset = rangeOffset(id); offset < placesByNumber.size())
        position = placesByNumber[offset];
    return position == 0 ? kNotFound : position - 1;
}

void StringIndex::MeasureRequestedTexts() {
    std::vector<std::uint32_t> pending;
    for (std::uint32_t place = 0; place < table.size(); ++place)
        if ((marks[place] & kRequested) != 0)
            pending.push_back(place);
    // The lines of the strings lie all over the heap. Reading ahead lets their memory arrive
    // while the strings before are measured: first a string's list of lines, then its first line.
    constexpr std::size_t kListsAhead = 16;
    constexpr std::size_t kLinesAhead = 8;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (i + kListsAhead < pending.size())
            __builtin_prefetch(table[pending[i + kListsAhead]].Lines.data());
        if (i + kLinesAhead < pending.size())
            prefetchFirstLine(table[pending[i + kLinesAhead]].Lines);
        measure(pending[i]);
    }
}

void StringIndex::measure(std::uint32_t place) {
    std::vector<std::uint16_t>& plainLengths = lengths[static_cast<std::size_t>(TextForm::Plain)];
    const std::uint8_t requested = marks[place] & kRequested;
    const LineList& lines = table[place].Lines;
    if ((marks[place] & kEdgesMeasured) == 0)
        edges[place] = MeasureTextEdges(lines);
    marks[place] |= kEdgesMeasured;
    // The plain length costs next to nothing, and since escaping only ever adds bytes, a
    // plain text too long to be inserted is too long in every form.
    if (plainLengths[place] == kUnmeasured)
        plainLengths[place] = capped(PlainTextLength(lines));
    for (const TextForm form : {TextForm::Jass, TextForm::Lua}) {
        std::uint16_t& length = lengths[static_cast<std::size_t>(form)][place];
        if ((requested & requestedMark(form)) != 0 && length == kUnmeasured)
            length = plainLengths[place] == kInlineLimit ? plainLengths[place]
                                                         : capped(parlune::TextLength(lines, form));
    }
    marks[place] &= static_cast<std::uint8_t>(~kRequested);
}

TextEdges MeasureTextEdges(const LineList& lines) {
    TextEdges edges;
    if (lines.empty())
        return edges;
    // A marker never spans a line end.
    for (const std::string& line : lines)
        edges.holdsMarker = edges.holdsMarker || line.find(kReferenceMarker) != std::string::npos;
    const std::string& first = lines.front();
    edges.startsWithDigit = !first.empty() && first[0] >= '0' && first[0] <= '9';
    edges.markerStartAtEnd = static_cast<std::uint8_t>(MarkerStartAtEnd(lines.back()));
    return edges;
}

std::size_t MarkerStartAtEnd(std::string_view text) {
    if (text.empty() || !hasRole(text.back(), kEndsPrefix))
        return 0;
    for (std::size_t length = std::min(kReferenceMarker.size() - 1, text.size()); length > 0;
         --length)
        if (text.ends_with(kReferenceMarker.substr(0, length)))
            return length;
    return 0;
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
    return ForEachReferenceNumber(data, [&](std::int32_t number) { retained.insert(number); });
}

void MapProcessor::InlineStrings() {
    logStep("Inlining trigger strings...");
    const std::size_t countBefore = Entries.size();
    RetainedIds retained;
    InlinedStrings = {};
    StringIndex index(Entries);
    const Translations translations(Entries, LocaleTables);
    for (std::size_t i = 0; i < kMapFileCount; ++i)
        InlineIntoFile(kMapFileNames[i], MapFiles[i], index, translations, retained);
    keepScannedReferences(retained);
    logStep("Removing inlined strings from war3map.wts...");
    index.HandOverLengths(InlinedStrings);
    PruneLocaleTables(
        LocaleTables, [&](std::int32_t id) { return index.Find(id) != StringIndex::kNotFound; },
        [&](std::int32_t id) { return retained.contains(id); });
    pruneEntries(index, retained);
    logResult("Removed " + std::to_string(countBefore - Entries.size()) + " strings (" +
              std::to_string(Entries.size()) + " strings retained)");
}

void MapProcessor::InlineIntoFile(std::string_view name, MapFileSlot& slot, StringIndex& index,
                                  const Translations& translations, RetainedIds& retained) {
    slot.Replacements.clear();
    if (!slot.Present)
        return;
    checkOffsetsFit(name, slot.Data.size());
    const MemberRules rules = rulesFor(name);
    slot.Form = rules.form;
    const bool lua = rules.form == TextForm::Lua;
    if (lua && IsPrecompiledLua(slot.Data)) {
        logResult(std::string(name) + " left unchanged: precompiled chunk");
        logKept(KeepReferencedStrings(slot.Data, retained), name);
        return;
    }
    std::vector<std::uint8_t> surroundings;
    std::vector<std::uint32_t> unreadableInLua;
    const std::optional<std::string_view> unreadable = findReferences(
        slot.Data, slot.Replacements, surroundings, lua ? &unreadableInLua : nullptr);
    if (slot.Replacements.empty() && !unreadable) {
        logResult("No strings to inline into " + std::string(name));
        return;
    }
    if (lua && !placeLuaReferences(slot, unreadableInLua, surroundings, retained))
        return;
    lookUpStrings(slot.Replacements, rules.form, index);
    index.MeasureRequestedTexts();
    const bool verbose = Verbose();
    const std::size_t found = slot.Replacements.size();
    const Decisions decisions =
        decideReferences(slot, surroundings, rules, index, translations, retained,
                         [&](const Replacement& replacement, Outcome outcome) {
                             if (verbose)
                                 logDetail(decisionLine(replacement, outcome, index, name));
                         });
    // A marker without a number ends the run once the references before it are reported.
    if (unreadable)
        ThrowInvalidInteger(*unreadable);
    logResult(std::to_string(decisions.replaced) + " strings inlined into " + std::string(name));
    if (decisions.keptForTranslations > 0)
        logResult(std::to_string(decisions.keptForTranslations) +
                  " references kept for translations in " + std::string(name));
    if (lua)
        logKept(found - decisions.replaced - decisions.keptForTranslations, name);
}

// In a Lua script only a marker inside a short string literal gives way to a text; the others
// stay. A script whose strings and comments cannot be followed to their ends stays as it is.
bool MapProcessor::placeLuaReferences(MapFileSlot& slot,
                                      const std::vector<std::uint32_t>& unreadable,
                                      std::vector<std::uint8_t>& surroundings,
                                      RetainedIds& retained) {
    const LuaPlaces places = PlaceLuaReferences(slot.Data, slot.Replacements, unreadable);
    if (!places.Unterminated) {
        for (std::size_t i = 0; i < surroundings.size(); ++i)
            if (!places.Replaceable[i])
                surroundings[i] |= kMustStay;
        return true;
    }
    for (const Replacement& reference : slot.Replacements)
        retained.insert(reference.Number);
    logResult(std::string(kLuaScriptName) +
              " left unchanged: unterminated string or comment at byte " +
              std::to_string(*places.Unterminated));
    logKept(slot.Replacements.size(), kLuaScriptName);
    slot.Replacements.clear();
    return false;
}

void MapProcessor::logKept(std::size_t count, std::string_view name) {
    if (count > 0)
        logResult(std::to_string(count) + " references kept in " + std::string(name));
}

void MapProcessor::keepScannedReferences(RetainedIds& retained) {
    for (std::size_t i = 0; i < kScannedFileCount; ++i) {
        MapFileSlot& slot = ScannedFiles[i];
        if (slot.Present)
            logKept(KeepReferencedStrings(slot.Data, retained), kScannedFileNames[i]);
        releaseSlot(slot);
    }
    for (const ScannedMember& member : OtherMembers) {
        logKept(member.References, member.Label);
        for (const std::int32_t number : member.Numbers)
            retained.insert(number);
    }
}

// The replacements' texts come from the table as it stood: it moves to InlinedStrings whole,
// and Entries keeps the entries still needed. An entry whose text was also inserted is copied.
void MapProcessor::pruneEntries(const StringIndex& index, const RetainedIds& retained) {
    const auto unneeded = [&](const TWTSEntry& entry) { return !retained.contains(entry.Id); };
    // Removals are reported from the last entry to the first, by position in the table.
    if (Verbose())
        for (std::size_t k = Entries.size(); k-- > 0;)
            if (unneeded(Entries[k]))
                logDetail("Removed string " + std::to_string(k));
    std::vector<TWTSEntry> kept;
    kept.reserve(std::min(retained.size(), Entries.size()));
    for (std::uint32_t place = 0; place < Entries.size(); ++place) {
        TWTSEntry& entry = Entries[place];
        if (unneeded(entry))
            continue;
        if (index.Inserted(place))
            kept.push_back(entry);
        else
            kept.push_back(std::move(entry));
    }
    InlinedStrings.Entries = std::move(Entries);
    Entries = std::move(kept);
}

} // namespace parlune
