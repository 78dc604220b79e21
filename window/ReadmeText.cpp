#include "window/MainFormBehaviour.h"

#include <iterator>

namespace parlune {

namespace {

// A rule of 27 hyphens under each heading.
constexpr char kRule[] = "---------------------------";

// One paragraph a line.
constexpr const char* kReadmeLines[] = {
    "README",
    kRule,
    "",
    "Welcome!",
    "",
    "Parlune inlines as many trigger strings as possible into war3map.j, "
    "war3map.w3a, war3map.w3h, war3map.w3i, war3map.w3q, war3map.w3t, "
    "war3map.w3u and war3mapSkin.txt, and also into the destructable, doodad "
    "and skin object data and into Lua scripts. This shortens the time the "
    "game needs to load the map, especially for complex maps; how much it "
    "helps varies from map to map. Translations are kept: a string is "
    "inlined only where every translated string table of the map holds the "
    "same text, and a string that any other file of the map names stays in "
    "the table.",
    "",
    "Use it on your map before you protect the map: some protections lower "
    "its effect or make it fail.",
    "",
    "Parlune has been tested, but you run it at your own risk of ending up "
    "with a damaged map.",
    "",
    "How to use it: choose the source map with \"Select Source...\", then the "
    "target, which may be the same file, with \"Select Target...\", then "
    "click \"Process\".",
    "",
    "\"Debug output\" is seldom needed; it adds much detail to the log.",
    "",
    "If Parlune stops responding while compacting, tick \"Do not compact\" "
    "to skip the compaction next time.",
    "",
    "CHANGELOG",
    kRule,
    "",
    "Changes in 1.0.2",
    "  - The map script in the Scripts folder is supported.",
    "  - Strings are inlined into war3mapSkin.txt too.",
    "  - Multi-line strings are inlined into all members but "
    "war3mapSkin.txt.",
    "  - Missing strings no longer stop the run; references to them are "
    "removed.",
    "  - Every string that was skipped is retained.",
    "  - No string over 1023 bytes is inlined, because the game crashes when "
    "loading a file where that was done.",
    "  - Minor fixes.",
    "",
    "Changes in 1.0.1",
    "  - Quotes and backslashes in strings inlined into the script no longer "
    "make maps unplayable.",
    "  - The interface was reworked.",
    "  - Minor fixes.",
};

std::string joinedReadme() {
    std::string text = kReadmeLines[0];
    for (std::size_t i = 1; i < std::size(kReadmeLines); ++i)
        text += std::string("\n") + kReadmeLines[i];
    return text;
}

} // namespace

const std::string& ReadmeText() {
    static const std::string text = joinedReadme();
    return text;
}

} // namespace parlune
