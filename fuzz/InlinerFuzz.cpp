// Contract: any string table and member contents may end in a ProcessingError, nothing worse.
// The inliner then gives exactly what the plain, literal inliner gives; a member without a
// marker comes out unchanged; every marker it leaves either stood in the input at the same
// place with the same digits or names a kept string; and every string kept in the table is
// named by a marker.
//
// In Lua mode the second part is the Lua script alone. The scanner of its literals never
// reads outside it, and when Lua 5.3 compiles the script as it went in, it compiles the script
// as it comes out too, and every text put into a literal reads back as its string's text.
//
// Input: the first byte chooses the options (bit 0: detail lines; bit 1: Lua mode; bit 2: a
// translated table follows the string table), the rest is the string table, the translated
// table where there is one, then the rewritten and the scanned members, each part after a
// "|~|".

#include "fuzz/FuzzSupport.h"
#include "processing/InlinedText.h"
#include "processing/Inliner.h"
#include "processing/ProcessingError.h"
#include "processing/StringTable.h"
#include "tests/support/LiteralInliner.h"
#include "tests/support/TestSupport.h"

#include <lua.hpp>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

namespace {

void fillSlots(auto& slots, const std::vector<std::string_view>& parts, std::size_t first) {
    for (std::size_t i = 0; i < slots.size() && first + i < parts.size(); ++i)
        slots[i] = parlune::MapFileSlot::Extracted(std::string(parts[first + i]));
}

bool sameEntries(const std::vector<parlune::TWTSEntry>& a,
                 const std::vector<parlune::TWTSEntry>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].Id != b[i].Id || a[i].Lines != b[i].Lines)
            return false;
    }
    return true;
}

bool sameEntries(const parlune::RunState& a, const parlune::RunState& b) {
    if (!sameEntries(a.Entries, b.Entries) || a.LocaleTables.size() != b.LocaleTables.size())
        return false;
    for (std::size_t i = 0; i < a.LocaleTables.size(); ++i)
        if (!sameEntries(a.LocaleTables[i].Entries, b.LocaleTables[i].Entries))
            return false;
    return true;
}

// A translated table as extraction reads it: one that cannot be parsed is kept unread.
parlune::LocaleTable translatedTable(std::string_view data) {
    parlune::LocaleTable table{"war3map.wts", 0x407, false, {}};
    try {
        parlune::LineList lines = parlune::SplitTableLines(data, table.Name);
        parlune::ParsedTable parsed = parlune::ParseTableLines(lines);
        table.Readable = !parsed.Failure;
        if (table.Readable)
            table.Entries = std::move(parsed.Entries);
    } catch (const parlune::ProcessingError&) {
    }
    return table;
}

void checkAgainstLiteral(const parlune::RunState& input, parlune::fuzz::QuietProcessor& real,
                         bool realFailed) {
    parlune::RunState literal = input;
    std::vector<std::string> literalLog;
    bool literalFailed = false;
    try {
        parlune::test::LiteralInlineStrings(literal, real.verbose, literalLog);
    } catch (const parlune::ProcessingError&) {
        literalFailed = true;
    }
    if (realFailed != literalFailed)
        std::abort();
    if (realFailed)
        return;
    for (std::size_t i = 0; i < real.MapFiles.size(); ++i) {
        if (parlune::test::InlinedData(real.MapFiles[i], real.InlinedStrings) !=
            literal.MapFiles[i].Data)
            std::abort();
    }
    if (!sameEntries(real, literal))
        std::abort();
}

// Where each byte of a member as the inliner leaves it comes from: its offset in the member as
// extracted, or npos for a byte of an inserted text.
std::vector<std::size_t> originsOf(const parlune::MapFileSlot& slot,
                                   const parlune::InlinedStringTable& strings) {
    std::vector<std::size_t> origins;
    std::size_t at = 0;
    const auto keep = [&](std::size_t end) {
        for (; at < end; ++at)
            origins.push_back(at);
    };
    for (const parlune::Replacement& replacement : slot.Replacements) {
        keep(replacement.Offset);
        origins.insert(origins.end(), strings.TextLength(replacement.Entry, slot.Form),
                       std::string::npos);
        at += parlune::ReplacedLength(slot.Data, replacement);
    }
    keep(slot.Data.size());
    return origins;
}

bool isKept(const parlune::RunState& state, std::int32_t number) {
    for (const parlune::TWTSEntry& entry : state.Entries)
        if (entry.Id == number)
            return true;
    return false;
}

// Every marker of a member as the inliner leaves it was in the member as extracted at the same
// place, with the same digits, or it names a string that is kept.
void checkMarkers(const parlune::MapFileSlot& before, const parlune::RunState& output,
                  const parlune::MapFileSlot& after) {
    const std::string data = parlune::test::InlinedData(after, output.InlinedStrings);
    const std::vector<std::size_t> origins = originsOf(after, output.InlinedStrings);
    for (std::size_t at = data.find(parlune::kReferenceMarker); at != std::string::npos;
         at = data.find(parlune::kReferenceMarker, at + 1)) {
        const std::string_view digits = parlune::DigitsAfterMarker(data, at);
        const std::size_t origin = origins[at];
        if (origin != std::string::npos &&
            before.Data.compare(origin, parlune::kReferenceMarker.size(),
                                parlune::kReferenceMarker) == 0 &&
            parlune::DigitsAfterMarker(before.Data, origin) == digits)
            continue;
        const auto number = parlune::ReferenceNumber(digits);
        if (!number || !isKept(output, *number))
            std::abort();
    }
}

// A member without a marker comes out unchanged; no marker changes the string it names; and
// every string kept in the table is named by a marker of the input: only a reference left in
// place keeps a string, and text inserted by the inliner is never searched.
void checkInvariants(const parlune::RunState& input, const parlune::RunState& output) {
    parlune::RetainedIds named;
    for (std::size_t i = 0; i < output.MapFiles.size(); ++i) {
        const std::string& before = input.MapFiles[i].Data;
        if (before.find(parlune::kReferenceMarker) == std::string::npos &&
            parlune::test::InlinedData(output.MapFiles[i], output.InlinedStrings) != before)
            std::abort();
        checkMarkers(input.MapFiles[i], output, output.MapFiles[i]);
        parlune::KeepReferencedStrings(before, named);
    }
    for (const parlune::MapFileSlot& scanned : input.ScannedFiles)
        parlune::KeepReferencedStrings(scanned.Data, named);
    for (const parlune::TWTSEntry& entry : output.Entries) {
        if (!named.contains(entry.Id))
            std::abort();
    }
}

using LuaState = std::unique_ptr<lua_State, decltype(&lua_close)>;

bool compiles(lua_State* lua, std::string_view chunk) {
    const bool loaded = luaL_loadbuffer(lua, chunk.data(), chunk.size(), "chunk") == LUA_OK;
    lua_settop(lua, 0);
    return loaded;
}

// The value of a short literal with the given bytes between its quotes.
std::string literalValue(lua_State* lua, std::string_view inside) {
    const std::string chunk = "return \"" + std::string(inside) + "\"";
    if (luaL_loadbuffer(lua, chunk.data(), chunk.size(), "literal") != LUA_OK ||
        lua_pcall(lua, 0, 1, 0) != LUA_OK)
        std::abort();
    std::size_t length = 0;
    const char* value = lua_tolstring(lua, -1, &length);
    std::string result(value, length);
    lua_settop(lua, 0);
    return result;
}

constexpr std::size_t kLuaSlot =
    static_cast<std::size_t>(std::ranges::find(parlune::kMapFileNames, parlune::kLuaScriptName) -
                             parlune::kMapFileNames.begin());

void checkLua(const parlune::RunState& input, const parlune::RunState& output) {
    const std::size_t slot = kLuaSlot;
    const LuaState lua(luaL_newstate(), &lua_close);
    if (!compiles(lua.get(), input.MapFiles[slot].Data))
        return;
    const parlune::MapFileSlot& script = output.MapFiles[slot];
    if (!compiles(lua.get(), parlune::test::InlinedData(script, output.InlinedStrings)))
        std::abort();
    std::string scratch;
    for (const parlune::Replacement& replacement : script.Replacements) {
        if (replacement.Entry == parlune::kMissingString)
            continue;
        const parlune::LineList& lines = output.InlinedStrings.Entries[replacement.Entry].Lines;
        const std::string plain(parlune::InlinedText(lines, parlune::TextForm::Plain, scratch));
        if (literalValue(lua.get(), parlune::InlinedText(lines, parlune::TextForm::Lua, scratch)) !=
            plain)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<std::string_view> parts = parlune::fuzz::SplitParts(input);

    parlune::fuzz::QuietProcessor real;
    real.verbose = (data[0] & 1) != 0;
    real.StringTableData = std::string(parts[0]);
    try {
        real.LoadStringTable();
        real.ParseStringTable();
    } catch (const parlune::ProcessingError&) {
        return 0;
    }
    std::size_t members = 1;
    if ((data[0] & 4) != 0 && parts.size() > 1)
        real.LocaleTables.push_back(translatedTable(parts[members++]));
    const bool luaMode = (data[0] & 2) != 0;
    if (luaMode && parts.size() > members)
        real.MapFiles[kLuaSlot] = parlune::MapFileSlot::Extracted(std::string(parts[members]));
    if (!luaMode) {
        fillSlots(real.MapFiles, parts, members);
        fillSlots(real.ScannedFiles, parts, members + parlune::kMapFileCount);
    }
    const parlune::RunState before = real;

    bool failed = false;
    try {
        real.InlineStrings();
    } catch (const parlune::ProcessingError&) {
        failed = true;
    }
    checkAgainstLiteral(before, real, failed);
    if (!failed)
        checkInvariants(before, real);
    if (luaMode && !failed)
        checkLua(before, real);
    return 0;
}
