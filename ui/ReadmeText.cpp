#include "ui/ReadmeText.h"

#include <QStringList>

namespace parlune {

QString ReadmeText() {
    const QString rule(27, QLatin1Char('-'));
    const QStringList lines = {
        QStringLiteral("README"),
        rule,
        QString(),
        QStringLiteral("Welcome!"),
        QString(),
        QStringLiteral("Parlune inlines as many trigger strings as possible into war3map.j, "
                       "war3map.w3a, war3map.w3h, war3map.w3i, war3map.w3q, war3map.w3t, "
                       "war3map.w3u and war3mapSkin.txt, and also into the destructable, doodad "
                       "and skin object data and into Lua scripts. This shortens the time the "
                       "game needs to load the map, especially for complex maps; how much it "
                       "helps varies from map to map."),
        QString(),
        QStringLiteral("Use it on your map before you protect the map: some protections lower "
                       "its effect or make it fail."),
        QString(),
        QStringLiteral("Parlune has been tested, but you run it at your own risk of ending up "
                       "with a damaged map."),
        QString(),
        QStringLiteral("How to use it: choose the source map with \"Select Source...\", then the "
                       "target, which may be the same file, with \"Select Target...\", then "
                       "click \"Process\"."),
        QString(),
        QStringLiteral("\"Debug output\" is seldom needed; it adds much detail to the log."),
        QString(),
        QStringLiteral("If Parlune stops responding while compacting, tick \"Do not compact\" "
                       "to skip the compaction next time."),
        QString(),
        QStringLiteral("CHANGELOG"),
        rule,
        QString(),
        QStringLiteral("Changes in 1.0.2"),
        QStringLiteral("  - The map script in the Scripts folder is supported."),
        QStringLiteral("  - Strings are inlined into war3mapSkin.txt too."),
        QStringLiteral("  - Multi-line strings are inlined into all members but "
                       "war3mapSkin.txt."),
        QStringLiteral("  - Missing strings no longer stop the run; references to them are "
                       "removed."),
        QStringLiteral("  - Every string that was skipped is retained."),
        QStringLiteral("  - No string over 1023 bytes is inlined, because the game crashes when "
                       "loading a file where that was done."),
        QStringLiteral("  - Minor fixes."),
        QString(),
        QStringLiteral("Changes in 1.0.1"),
        QStringLiteral("  - Quotes and backslashes in strings inlined into the script no longer "
                       "make maps unplayable."),
        QStringLiteral("  - The interface was reworked."),
        QStringLiteral("  - Minor fixes."),
    };
    return lines.join(QLatin1Char('\n'));
}

} // namespace parlune
