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
#include "processing/LuaLiterals.h"
#include "processing/MarkerSearch.h"
#include "processing/ProcessingError.h"

#include <algorithm>
#include <limits>

namespace parlune {

namespace {

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

std::uint8_t surroundingsOf(std::string_view data, std::size_t lastEnd, std::size_t start,
                            std::size_t end) {
    std::uint8_t surroundings = 0;
    if (start - lastEnd < kJoiningBytes)
        surroundings |= kCloseToLast;
    else if (HasMarkerRole(data[start - 1], kEndsMarkerStart))
        surroundings |= kAfterMarkerStart;
    if (end < data.size() && HasMarkerRole(data[end], kStartsMarkerRest))
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

// Why a reference to the string at place stays whatever the bytes around it: too long a text
// crashes the game, the skin file takes one line per value, and in a Lua script only a short
// literal takes a text.
std::optional<KeptReason> fixedReason(const Replacement& replacement, std::uint8_t surroundings,
                                      MemberRules rules, const StringIndex& index) {
    if ((surroundings & kMustStay) != 0)
        return KeptReason::OutsideLiteral;
    if (replacement.Entry == StringIndex::kNotFound)
        return std::nullopt;
    if (index.TextLength(replacement.Entry, rules.form) >= kInlineLimit)
        return KeptReason::TooLong;
    if (rules.skin && index.Entry(replacement.Entry).Lines.size() >= 2)
        return KeptReason::MultiLineSkin;
    return std::nullopt;
}

// Whether a reference must stay for the translations: its string's translations differ from
// the root table's text, or the root table lacks a string that a translation may hold.
bool keptForTranslations(const Replacement& replacement, const Translations& translations) {
    return replacement.Entry == StringIndex::kNotFound ? translations.Hold(replacement.Number)
                                                       : !translations.Agree(replacement.Entry);
}

// Follows a member's new bytes as its references are decided front to back, far enough to
// keep every insertion from changing which string a marker names: a text may not make a
// marker with the bytes around it, nor run on the digits of a marker left in place. What is
// followed is how many bytes of a marker's start the new bytes end with, and whether they end
// in the digits of a marker left in place.
class MarkerGuard {
public:
    MarkerGuard(std::string_view data, const StringIndex& index, TextForm form)
        : data(data), index(index), form(form) {}

    // Decides the reference of replacement, with its surroundings, which must stay for
    // mustStay where that is given and for the translations where translated, and follows the
    // new bytes past it. Nothing when the string's text takes its place.
    std::optional<KeptReason> Decide(const Replacement& replacement, std::uint8_t surroundings,
                                     std::optional<KeptReason> mustStay, bool translated) {
        passTo(replacement.Offset, surroundings);
        std::optional<KeptReason> outcome = mustStay;
        if (!outcome && !allows(replacement, surroundings))
            outcome = KeptReason::MarkerText;
        else if (!outcome && translated)
            outcome = KeptReason::Translations;
        if (outcome) {
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

} // namespace

std::size_t KeepReferencedStrings(std::string_view data, RetainedIds& retained) {
    return ForEachReference(data,
                            [&](std::size_t, std::int32_t number) { retained.insert(number); });
}

Inliner::Inliner(const std::vector<TWTSEntry>& entries, const std::vector<LocaleTable>& tables)
    : index(entries), translations(entries, tables) {}

MemberInlining Inliner::Inline(std::string_view name, MapFileSlot& slot) {
    slot.Replacements.clear();
    slot.Kept.clear();
    slot.Unchanged.clear();
    MemberInlining inlining;
    if (!slot.Present)
        return inlining;
    checkOffsetsFit(name, slot.Data.size());
    const MemberRules rules = rulesFor(name);
    slot.Form = rules.form;
    const bool lua = rules.form == TextForm::Lua;
    if (lua && IsPrecompiledLua(slot.Data)) {
        keepWhole(slot, "precompiled chunk");
        return inlining;
    }
    std::vector<std::uint8_t> surroundings;
    std::vector<std::uint32_t> unreadableInLua;
    const std::optional<std::string_view> unreadable = findReferences(
        slot.Data, slot.Replacements, surroundings, lua ? &unreadableInLua : nullptr);
    inlining.HasMarkers = !slot.Replacements.empty() || unreadable;
    if (unreadable)
        inlining.Unreadable = std::string(*unreadable);
    if (slot.Replacements.empty() ||
        (lua && !placeLuaReferences(slot, unreadableInLua, surroundings)))
        return inlining;
    lookUpStrings(slot.Replacements, rules.form, index);
    index.MeasureRequestedTexts();
    decide(slot, surroundings, rules.skin);
    return inlining;
}

// Decides the found references front to back. A reference whose string's text takes its
// place stays among the replacements; every other one is kept, and its string retained.
void Inliner::decide(MapFileSlot& slot, const std::vector<std::uint8_t>& surroundings, bool skin) {
    std::vector<Replacement>& replacements = slot.Replacements;
    const MemberRules rules{slot.Form, skin};
    MarkerGuard guard(slot.Data, index, rules.form);
    std::size_t made = 0;
    for (std::size_t i = 0; i < replacements.size(); ++i) {
        const Replacement replacement = replacements[i];
        const std::optional<KeptReason> kept = guard.Decide(
            replacement, surroundings[i], fixedReason(replacement, surroundings[i], rules, index),
            keptForTranslations(replacement, translations));
        if (kept) {
            retained.insert(replacement.Number);
            slot.Kept.push_back({replacement.Offset, replacement.Number, *kept});
            continue;
        }
        if (replacement.Entry != StringIndex::kNotFound)
            index.MarkInserted(replacement.Entry);
        replacements[made++] = replacement;
    }
    replacements.resize(made);
}

// In a Lua script only a marker inside a short string literal gives way to a text; the others
// stay. A script whose strings and comments cannot be followed to their ends stays as it is.
bool Inliner::placeLuaReferences(MapFileSlot& slot, const std::vector<std::uint32_t>& unreadable,
                                 std::vector<std::uint8_t>& surroundings) {
    const LuaPlaces places = PlaceLuaReferences(slot.Data, slot.Replacements, unreadable);
    if (places.Unterminated) {
        keepWhole(slot,
                  "unterminated string or comment at byte " + std::to_string(*places.Unterminated));
        return false;
    }
    for (std::size_t i = 0; i < surroundings.size(); ++i)
        if (!places.Replaceable[i])
            surroundings[i] |= kMustStay;
    return true;
}

// Keeps every well-formed reference of a script that stays as it is.
void Inliner::keepWhole(MapFileSlot& slot, std::string why) {
    slot.Replacements.clear();
    for (const ReferenceAt& reference : ReferencesIn(slot.Data)) {
        retained.insert(reference.Number);
        slot.Kept.push_back({reference.Offset, reference.Number, KeptReason::ScriptUnchanged});
    }
    slot.Unchanged = std::move(why);
}

// The replacements' texts come from the table as it stood: it moves to strings whole, and
// entries keeps the entries still needed. An entry whose text was also inserted is copied.
std::vector<std::size_t> Inliner::Prune(std::vector<TWTSEntry>& entries,
                                        std::vector<LocaleTable>& tables,
                                        InlinedStringTable& strings) {
    index.HandOverLengths(strings);
    PruneLocaleTables(
        tables, [&](std::int32_t id) { return index.Find(id) != StringIndex::kNotFound; },
        [&](std::int32_t id) { return retained.contains(id); });
    std::vector<std::size_t> removed;
    std::vector<TWTSEntry> kept;
    kept.reserve(std::min(retained.size(), entries.size()));
    for (std::uint32_t place = 0; place < entries.size(); ++place) {
        TWTSEntry& entry = entries[place];
        if (!retained.contains(entry.Id))
            removed.push_back(place);
        else if (index.Inserted(place))
            kept.push_back(entry);
        else
            kept.push_back(std::move(entry));
    }
    strings.Entries = std::move(entries);
    entries = std::move(kept);
    return removed;
}

} // namespace parlune
