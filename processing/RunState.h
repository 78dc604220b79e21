#pragma once

#include "processing/Markers.h"
#include "processing/TWTSEntry.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlune {

// The Entry of a replacement whose string the table lacks: it is replaced by nothing.
inline constexpr std::uint32_t kMissingString = 0xFFFFFFFF;

// A reference the inliner replaced: the marker at Offset in the member as extracted, with all
// the digits that follow it, names the string Number and gives way to the text of the entry
// at position Entry of the run's InlinedStrings.Entries (the first entry with that number).
// Members and the table are at most 256 MiB, so 32 bits hold every offset.
struct Replacement {
    std::uint32_t Offset = 0;
    std::int32_t Number = 0;
    std::uint32_t Entry = kMissingString;
};

// The form in which a string's text stands in a member: as it is in object data and the skin
// file, escaped for a string literal of the JASS script, or escaped for one of the Lua script.
enum class TextForm : std::uint8_t { Plain, Jass, Lua };
inline constexpr std::size_t kTextFormCount = 3;

// The strings the replacements insert: the table's entries as they stood before pruning, and
// the lengths of the texts in each form of each entry a replacement inserts, by position. A
// replacement's Entry is such a position.
struct InlinedStringTable {
    std::vector<TWTSEntry> Entries;
    std::array<std::vector<std::uint16_t>, kTextFormCount> Lengths;

    std::uint32_t TextLength(std::uint32_t entry, TextForm form) const {
        if (entry == kMissingString)
            return 0;
        return Lengths[static_cast<std::size_t>(form)][entry];
    }
};

// Why the inliner left a reference in place.
enum class KeptReason : std::uint8_t {
    TooLong,         // its text is kInlineLimit bytes or longer
    MultiLineSkin,   // its string has several lines, and the skin file takes one per value
    MarkerText,      // its text would make a marker with the bytes around it, or lengthen one
    Translations,    // a translated table differs, or holds a string the root table lacks
    OutsideLiteral,  // in a Lua script, not where a short literal may take a text
    ScriptUnchanged, // in a Lua script that stays as it is as a whole
};

// A reference left in place: the marker at Offset in the member as extracted, naming Number.
struct KeptReference {
    std::uint32_t Offset = 0;
    std::int32_t Number = 0;
    KeptReason Reason = KeptReason::TooLong;
};

// One member of the map. A slot whose Present flag is false is never read. The inliner keeps
// Data as extracted and records its replacements, front to back, so that a large script is
// never copied; the member's new bytes are Data with the replacements made, their texts in
// the member's Form. The references it leaves in place are recorded in Kept, front to back.
struct MapFileSlot {
    std::string Data;
    bool Present = false;
    std::vector<Replacement> Replacements;
    TextForm Form = TextForm::Plain;
    std::vector<KeptReference> Kept;
    // Why a Lua script stays as it is as a whole ("precompiled chunk"); empty when it does not.
    std::string Unchanged;

    // A slot holding a member's bytes as extracted.
    static MapFileSlot Extracted(std::string data) {
        MapFileSlot slot;
        slot.Data = std::move(data);
        slot.Present = true;
        return slot;
    }
};

inline constexpr std::string_view kStringTableName = "war3map.wts";
inline constexpr std::string_view kScriptName = "war3map.j";
inline constexpr std::string_view kScriptInFolderName = "Scripts\\war3map.j";
// The name the script stands under in the map: in the Scripts folder or beside the others.
inline constexpr std::string_view ScriptMemberName(bool inScriptsFolder) {
    return inScriptsFolder ? kScriptInFolderName : kScriptName;
}
// The script of maps saved for Lua; references are replaced only inside its short literals.
inline constexpr std::string_view kLuaScriptName = "war3map.lua";
// The skin file takes one line per value, so multi-line strings stay in the table.
inline constexpr std::string_view kSkinName = "war3mapSkin.txt";

inline constexpr std::size_t kMapFileCount = 18;
// Extraction reports the first eight members also when the map lacks them; the others, which
// many maps lack, only when the map has them.
inline constexpr std::size_t kReportedFileCount = 8;

// The members the run rewrites, in the order every phase visits them. The script is read
// from "Scripts\\war3map.j" when the map has no "war3map.j"; it keeps the name "war3map.j"
// for the inliner's rules and log lines. After the eight come the object data of destructables
// and doodads, the Lua script and the skin object data that map editors now write beside the
// object data.
inline constexpr std::array<std::string_view, kMapFileCount> kMapFileNames = {
    kScriptName,       "war3map.w3a",     "war3map.w3h",     "war3map.w3i",     "war3map.w3q",
    "war3map.w3t",     "war3map.w3u",     kSkinName,         "war3map.w3b",     "war3map.w3d",
    kLuaScriptName,    "war3mapSkin.w3a", "war3mapSkin.w3b", "war3mapSkin.w3d", "war3mapSkin.w3h",
    "war3mapSkin.w3q", "war3mapSkin.w3t", "war3mapSkin.w3u"};

inline constexpr std::size_t kScannedFileCount = 2;

// Members the run never rewrites but whose references still need their strings: the editor's
// GUI and custom-text triggers, from which it makes the script anew on every save. They are
// read only to keep those strings in the table, in this order.
inline constexpr std::array<std::string_view, kScannedFileCount> kScannedFileNames = {
    "war3map.wtg", "war3map.wct"};

// A translated string table beside "war3map.wts": an entry of that member stored for another
// locale, or the table of a locale folder. The game shows a player the table of the player's
// language, so a reference is replaced only where every such table agrees with the root one.
struct LocaleTable {
    std::string Name;         // as the map stores it
    std::uint16_t Locale = 0; // the archive's locale; neutral for a locale folder's table
    // False when the table cannot be parsed: it disagrees on every string then, and stays in
    // the map as it is.
    bool Readable = false;
    std::vector<TWTSEntry> Entries;
};

// A member the run does not rewrite, read only for the strings its references name.
struct ScannedMember {
    std::string Label;                   // its name, and its locale where that is not neutral
    std::vector<ReferenceAt> References; // front to back
};

// Why the inliner left a reference in place, by KeptReason.
inline constexpr std::size_t kKeptReasonCount = 6;

// What the inliner did with one rewritten member: references replaced (those to strings the
// table lacks, by nothing) and references kept, by reason.
struct MemberSummary {
    std::string Name; // as the map stores it
    std::size_t Inlined = 0;
    std::array<std::size_t, kKeptReasonCount> Kept{};
};

// A reference that names no string of the table.
struct MissingReference {
    std::string Member;
    std::uint32_t Offset = 0; // in the member as extracted
    std::int32_t Number = 0;
};

struct OverLimitString {
    std::int32_t Number = 0;
    std::size_t Bytes = 0; // its lines joined by CR LF
};

// What a run found and did, for a report. Filled as the phases go, so that a run that fails
// tells what it got to.
struct RunSummary {
    std::optional<std::size_t> StringsBefore;
    std::optional<std::size_t> StringsAfter;
    std::vector<MemberSummary> Members;
    // The members whose references were only kept, with how many they hold.
    std::vector<std::pair<std::string, std::size_t>> Scanned;
    std::vector<MissingReference> Missing;
    // The numbers of the strings that no reference names, ascending.
    std::vector<std::int32_t> Unused;
    // The strings whose text is kInlineLimit bytes or longer, in table order.
    std::vector<OverLimitString> OverLimit;
};

// Everything a run works on. It survives from run to run; each run replaces what the
// previous one left.
struct RunState {
    std::string SourcePath;
    std::string TargetPath;
    std::string StringTableData;
    std::array<MapFileSlot, kMapFileCount> MapFiles;
    // Released once the inliner has taken the numbers they refer to.
    std::array<MapFileSlot, kScannedFileCount> ScannedFiles;
    // The translated tables, in the order they are read and written.
    std::vector<LocaleTable> LocaleTables;
    // The other members that hold references, in the order their lines are logged.
    std::vector<ScannedMember> OtherMembers;
    bool ScriptInScriptsFolder = false;
    LineList StringTableLines;
    std::vector<TWTSEntry> Entries;
    // No text is made before the map is written: the writer makes them from these.
    InlinedStringTable InlinedStrings;
    // What the run found and did, when the host asks for it.
    RunSummary Summary;
};

} // namespace parlune
