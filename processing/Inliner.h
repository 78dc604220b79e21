#pragma once

// The reference inliner: decides, member by member, which references give way to the texts of
// their strings, and prunes the string tables down to the strings that the references left in
// place still need. It knows nothing of the run: what it decides it records in the members'
// slots (the replacements, and the references kept with the reason), and the run reports it.

#include "processing/NumberTable.h"
#include "processing/RunState.h"
#include "processing/StringIndex.h"
#include "processing/Translations.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlune {

// The numbers of the strings that some reference left in place still needs. The table keeps
// exactly the strings whose numbers are in here.
class RetainedIds {
public:
    void insert(std::int32_t id) { numbers.Add(id, 1); }
    bool contains(std::int32_t id) const { return numbers.Get(id) != 0; }
    std::size_t size() const { return numbers.Size(); }

private:
    NumberTable numbers;
};

// Adds the number of every well-formed reference in data to retained and returns how many
// there were.
std::size_t KeepReferencedStrings(std::string_view data, RetainedIds& retained);

// How the inlining of one member went as a whole; the slot tells the rest.
struct MemberInlining {
    bool HasMarkers = false;
    // The digits of a marker that names no number (possibly none). Outside a Lua script it
    // stops the inlining there, and the run ends once the references before it are reported.
    std::optional<std::string> Unreadable;
};

class Inliner {
public:
    // The entries and the tables must stay in place, as they are, until Prune.
    Inliner(const std::vector<TWTSEntry>& entries, const std::vector<LocaleTable>& tables);
    Inliner(const Inliner&) = delete;
    Inliner& operator=(const Inliner&) = delete;

    // Decides the references of a member, name being the one its rules go by. Its slot gets
    // the replacements, front to back, the references kept, and why a Lua script stays as it is
    // as a whole, if it does; a slot whose member is absent gets nothing.
    MemberInlining Inline(std::string_view name, MapFileSlot& slot);

    // Keeps the string of number, which a member that is never rewritten names.
    void Keep(std::int32_t number) { retained.insert(number); }
    // Whether the table has a string of number.
    bool Holds(std::int32_t number) const { return index.Find(number) != StringIndex::kNotFound; }

    // Removes from entries every string that no reference left in place needs, and from each
    // readable translated table the strings whose numbers entries held and lost; everything
    // else keeps its order. The table as it stood goes to strings, with the lengths of the
    // texts that the replacements insert. Returns the positions in entries of the strings
    // removed, front to back. The inliner must not be used afterwards.
    std::vector<std::size_t> Prune(std::vector<TWTSEntry>& entries,
                                   std::vector<LocaleTable>& tables, InlinedStringTable& strings);

private:
    void decide(MapFileSlot& slot, const std::vector<std::uint8_t>& surroundings, bool skin);
    bool placeLuaReferences(MapFileSlot& slot, const std::vector<std::uint32_t>& unreadable,
                            std::vector<std::uint8_t>& surroundings);
    void keepWhole(MapFileSlot& slot, std::string why);

    StringIndex index;
    Translations translations;
    RetainedIds retained;
};

} // namespace parlune
