#pragma once

// The names of a map's members that the run treats apart: the translated string tables, the
// library's own members and the members that can hold no reference.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

inline constexpr std::string_view kListfileName = "(listfile)";
inline constexpr std::string_view kAttributesName = "(attributes)";
inline constexpr std::string_view kSignatureName = "(signature)";

// The language codes of the game's locale folders, in the order their tables are read.
inline constexpr std::array<std::string_view, 13> kLocaleCodes = {
    "deDE", "enUS", "esES", "esMX", "frFR", "itIT", "jaJP",
    "koKR", "plPL", "ptBR", "ruRU", "zhCN", "zhTW"};

// Member names are looked up without regard to the case of ASCII letters.
bool SameMemberName(std::string_view a, std::string_view b);
// The name in a form that is equal for every spelling of it.
std::string MemberNameKey(std::string_view name);

// "_Locales\<code>.w3mod\war3map.wts", the string table of a locale folder.
std::string LocaleFolderTableName(std::string_view code);
// The code of a locale folder's string table named so, in any case, or empty for another name.
std::string_view LocaleFolderCode(std::string_view name);

// The names under which a map's locale folders may hold string tables, in the order they are
// read: one for each of the game's codes, in the order of kLocaleCodes, then one for each other
// code that listed, the names in the map's "(listfile)", has, in its order. A table is named as
// listed names it, or as LocaleFolderTableName builds it.
std::vector<std::string> LocaleFolderTableNames(const std::vector<std::string>& listed);

// How the log names a member stored for a locale other than neutral:
// "war3map.wts for locale 040C"; name alone for the neutral one.
std::string LocaleLabel(std::string_view name, std::uint16_t locale);

// The 512 bytes in front of a map's archive: "HM3W", a zero 32-bit value, the map's name, its
// flags (none) and its largest number of players.
std::string MapFileHeader(std::string_view mapName, std::uint32_t players);

// Whether references need not be looked for in the member: the library's own members, and
// images, models and sounds, which hold no text.
bool HoldsNoReferences(std::string_view name);

// Members of a map that hold data other than the rewritten ones, looked at also when the map's
// "(listfile)" does not name them. The HD skin files are a second set of the skin files.
inline constexpr std::array<std::string_view, 21> kKnownMemberNames = {
    "Scripts\\war3map.j",
    "war3map.w3e",
    "war3map.w3r",
    "war3map.w3c",
    "war3map.w3s",
    "war3map.wpm",
    "war3map.doo",
    "war3mapUnits.doo",
    "war3map.shd",
    "war3map.mmp",
    "war3map.imp",
    "war3mapMisc.txt",
    "war3mapExtra.txt",
    "_HD.w3mod\\war3mapSkin.txt",
    "_HD.w3mod\\war3mapSkin.w3a",
    "_HD.w3mod\\war3mapSkin.w3b",
    "_HD.w3mod\\war3mapSkin.w3d",
    "_HD.w3mod\\war3mapSkin.w3h",
    "_HD.w3mod\\war3mapSkin.w3q",
    "_HD.w3mod\\war3mapSkin.w3t",
    "_HD.w3mod\\war3mapSkin.w3u"};

} // namespace parlune
