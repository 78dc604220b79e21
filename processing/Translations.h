#pragma once

// What the translated string tables say of the strings of the root table. A player sees the
// table of the player's language, so a string's text may take a reference's place only where
// every translated table holds that string with the very text of the root table; otherwise the
// reference stays, and the player keeps the translation.

#include "processing/NumberTable.h"
#include "processing/RunState.h"

#include <cstdint>
#include <vector>

namespace parlune {

class Translations {
public:
    // Reads root, the table as the inliner's StringIndex places it, and tables.
    Translations(const std::vector<TWTSEntry>& root, const std::vector<LocaleTable>& tables);

    // Whether every translated table holds the string of the root table's entry at place, the
    // first of its number, with the same lines. True when the map has no translated table.
    bool Agree(std::uint32_t place) const { return agreed.empty() || agreed[place]; }
    // Whether a translated table may hold number, which the root table lacks.
    bool Hold(std::int32_t number) const { return unreadable || held.Get(number) != 0; }

private:
    std::vector<bool> agreed; // by place; empty without translated tables
    NumberTable held;
    bool unreadable = false;
};

// Removes from each readable translated table the strings whose numbers the root table held
// and lost: those that no reference left in place needs. Strings only a translated table holds
// stay, and so does the order of the rest.
template <typename Held, typename Needed>
void PruneLocaleTables(std::vector<LocaleTable>& tables, Held&& rootHeld, Needed&& needed) {
    for (LocaleTable& table : tables)
        std::erase_if(table.Entries, [&](const TWTSEntry& entry) {
            return rootHeld(entry.Id) && !needed(entry.Id);
        });
}

} // namespace parlune
