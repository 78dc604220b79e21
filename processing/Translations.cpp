#include "processing/Translations.h"

namespace parlune {

namespace {

// One more than the position of the first entry of each number.
NumberTable firstPlaces(const std::vector<TWTSEntry>& entries) {
    NumberTable places(entries.size());
    for (std::size_t place = 0; place < entries.size(); ++place)
        places.Add(entries[place].Id, static_cast<std::uint32_t>(place + 1));
    return places;
}

} // namespace

Translations::Translations(const std::vector<TWTSEntry>& root,
                           const std::vector<LocaleTable>& tables) {
    if (tables.empty())
        return;
    agreed.assign(root.size(), true);
    for (const LocaleTable& table : tables) {
        if (!table.Readable) {
            unreadable = true;
            agreed.assign(root.size(), false);
            return;
        }
        const NumberTable places = firstPlaces(table.Entries);
        for (std::size_t place = 0; place < root.size(); ++place) {
            const std::uint32_t found = places.Get(root[place].Id);
            agreed[place] =
                agreed[place] && found != 0 && table.Entries[found - 1].Lines == root[place].Lines;
        }
        for (const TWTSEntry& entry : table.Entries)
            held.Add(entry.Id, 1);
    }
}

} // namespace parlune
