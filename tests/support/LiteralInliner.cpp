#include "tests/support/LiteralInliner.h"

#include "processing/LuaLiterals.h"
#include "processing/Markers.h"
#include "processing/ProcessingError.h"

#include <algorithm>
#include <optional>

namespace parlune::test {

namespace {

const std::string kMarker = "TRIGSTR_";

std::string replaceAll(const std::string& text, const std::string& from, const std::string& to) {
    std::string result;
    std::size_t start = 0;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
        result.append(text, start, at - start);
        result += to;
        start = at + from.size();
    }
    result.append(text, start);
    return result;
}

std::string digitsAt(const std::string& buffer, std::size_t start) {
    std::size_t end = start;
    while (end < buffer.size() && buffer[end] >= '0' && buffer[end] <= '9')
        ++end;
    return buffer.substr(start, end - start);
}

class LiteralRun {
public:
    LiteralRun(RunState& state, bool verbose, std::vector<std::string>& log)
        : state(state), verbose(verbose), log(log) {}

    void inlineStrings() {
        log.push_back("Inlining trigger strings...");
        const std::size_t countBefore = state.Entries.size();
        for (std::size_t i = 0; i < kMapFileCount; ++i)
            inlineIntoFile(std::string(kMapFileNames[i]), state.MapFiles[i].Present,
                           state.MapFiles[i].Data);
        for (std::size_t i = 0; i < kScannedFileCount; ++i)
            scanMember(std::string(kScannedFileNames[i]), state.ScannedFiles[i]);
        log.push_back("Removing inlined strings from war3map.wts...");
        for (LocaleTable& table : state.LocaleTables)
            std::erase_if(table.Entries, [&](const TWTSEntry& entry) {
                return firstEntry(entry.Id) && !isRetained(std::to_string(entry.Id));
            });
        for (std::size_t k = state.Entries.size(); k-- > 0;) {
            if (isRetained(std::to_string(state.Entries[k].Id)))
                continue;
            state.Entries.erase(state.Entries.begin() + static_cast<std::ptrdiff_t>(k));
            if (verbose)
                log.push_back("          Removed string " + std::to_string(k));
        }
        log.push_back("     Removed " + std::to_string(countBefore - state.Entries.size()) +
                      " strings (" + std::to_string(state.Entries.size()) + " strings retained)");
    }

private:
    bool isRetained(const std::string& id) const {
        return std::find(retainedIds.begin(), retainedIds.end(), id) != retainedIds.end();
    }

    const TWTSEntry* firstEntry(std::int32_t id) const { return firstIn(state.Entries, id); }

    static const TWTSEntry* firstIn(const std::vector<TWTSEntry>& entries, std::int32_t id) {
        for (const TWTSEntry& entry : entries)
            if (entry.Id == id)
                return &entry;
        return nullptr;
    }

    // Whether a reference to number must stay for the translated tables' sake: one of them
    // cannot be read, or, where the root table has the string, one lacks it or holds another
    // text, or, where the root table lacks it, one holds it.
    bool keptForTranslations(std::int32_t number, const TWTSEntry* entry) const {
        for (const LocaleTable& table : state.LocaleTables) {
            const TWTSEntry* translated = table.Readable ? firstIn(table.Entries, number) : nullptr;
            if (!table.Readable || (entry && (!translated || translated->Lines != entry->Lines)) ||
                (!entry && translated))
                return true;
        }
        return false;
    }

    // A script that Lua's loader takes as precompiled: ESC first, after a byte-order mark and
    // after a first line starting with "#".
    static bool precompiled(const std::string& script) {
        std::string rest = script.starts_with("\xEF\xBB\xBF") ? script.substr(3) : script;
        if (rest.starts_with("#"))
            rest = rest.find('\n') == std::string::npos ? "" : rest.substr(rest.find('\n') + 1);
        return rest.starts_with("\x1B");
    }

    static std::string replacementFor(const TWTSEntry& entry, const std::string& name) {
        std::string text;
        for (const std::string& line : entry.Lines)
            text += line + "\r\n";
        if (name == "war3map.lua")
            return luaEscaped(text.substr(0, text.size() >= 2 ? text.size() - 2 : 0));
        if (name == "war3map.j") {
            text = replaceAll(text, "\\", "\\\\");
            text = replaceAll(text, "\"", "\\\"");
            text = replaceAll(text, "\r\n", "\\r\\n");
            if (text.size() >= 4)
                text.erase(text.size() - 4);
        } else if (text.size() >= 2) {
            text.erase(text.size() - 2);
        }
        return text;
    }

    static std::string luaEscaped(const std::string& text) {
        std::string escaped;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '\\' || c == '"' || c == '\'')
                escaped += std::string("\\") + c;
            else if (c == '\r' || c == '\n')
                escaped += c == '\r' ? "\\r" : "\\n";
            else if (byte < 0x20 || byte == 0x7F)
                escaped += "\\" + std::string(byte < 100 ? "0" : "") +
                           std::string(byte < 10 ? "0" : "") + std::to_string(byte);
            else
                escaped += c;
        }
        return escaped;
    }

    // For the Lua script: whether each well-formed marker, in order, may give way to a text;
    // nothing when the script cannot be followed, with the line that reports it logged.
    std::optional<std::vector<bool>> luaPlaces(const std::string& buffer) {
        std::vector<Replacement> references;
        std::vector<std::uint32_t> unreadable;
        for (std::size_t at = buffer.find(kMarker); at != std::string::npos;) {
            const std::string digits = digitsAt(buffer, at + kMarker.size());
            const auto number = ReferenceNumber(digits);
            if (number)
                references.push_back({static_cast<std::uint32_t>(at), *number, 0});
            else
                unreadable.push_back(static_cast<std::uint32_t>(at));
            at = buffer.find(kMarker, at + kMarker.size() + digits.size());
        }
        if (references.empty()) {
            log.push_back("     No strings to inline into war3map.lua");
            return std::nullopt;
        }
        LuaPlaces places = PlaceLuaReferences(buffer, references, unreadable);
        if (!places.Unterminated)
            return std::move(places.Replaceable);
        for (const Replacement& reference : references)
            retainedIds.push_back(std::to_string(reference.Number));
        log.push_back("     war3map.lua left unchanged: unterminated string or comment at byte " +
                      std::to_string(*places.Unterminated));
        logKept(references.size(), "war3map.lua");
        return std::nullopt;
    }

    void logKept(std::size_t count, const std::string& name) {
        if (count > 0)
            log.push_back("     " + std::to_string(count) + " references kept in " + name);
    }

    void inlineIntoFile(const std::string& name, bool present, std::string& buffer) {
        if (!present)
            return;
        const bool lua = name == "war3map.lua";
        if (lua && precompiled(buffer)) {
            log.push_back("     war3map.lua left unchanged: precompiled chunk");
            MapFileSlot script = MapFileSlot::Extracted(buffer);
            scanMember(name, script);
            return;
        }
        std::size_t at = buffer.find(kMarker);
        if (at == std::string::npos) {
            log.push_back("     No strings to inline into " + name);
            return;
        }
        std::optional<std::vector<bool>> replaceable;
        if (lua && !(replaceable = luaPlaces(buffer)))
            return;
        int inlined = 0;
        std::size_t kept = 0;
        std::size_t forTranslations = 0;
        std::size_t reference = 0;
        while (at != std::string::npos) {
            const std::string digits = digitsAt(buffer, at + kMarker.size());
            const std::size_t markerLength = kMarker.size() + digits.size();
            if (lua && !ReferenceNumber(digits)) {
                at = buffer.find(kMarker, at + markerLength);
                continue;
            }
            const std::int32_t number = StrToInt(digits);
            const TWTSEntry* entry = firstEntry(number);
            const std::string replacement = entry ? replacementFor(*entry, name) : "";
            std::size_t next;
            if ((lua && !(*replaceable)[reference++]) ||
                (entry && (replacement.size() >= 1024 ||
                           (entry->Lines.size() >= 2 && name == "war3mapSkin.txt"))) ||
                changesAMarker(buffer, at, markerLength, replacement)) {
                retainedIds.push_back(std::to_string(number));
                ++kept;
                next = at + markerLength;
            } else if (keptForTranslations(number, entry)) {
                retainedIds.push_back(std::to_string(number));
                ++forTranslations;
                next = at + markerLength;
                if (verbose)
                    log.push_back("          Kept string " + std::to_string(number) +
                                  " for translations");
            } else {
                buffer.replace(at, markerLength, replacement);
                ++inlined;
                next = at + replacement.size();
                if (verbose)
                    log.push_back(detailLine(entry, number, name));
            }
            at = buffer.find(kMarker, next);
        }
        log.push_back("     " + std::to_string(inlined) + " strings inlined into " + name);
        if (forTranslations > 0)
            log.push_back("     " + std::to_string(forTranslations) +
                          " references kept for translations in " + name);
        if (lua)
            logKept(kept, name);
    }

    // Whether putting replacement in place of the marker at `at` would make a marker with the
    // bytes around it, or run on the digits of a marker left in place right before it.
    static bool changesAMarker(const std::string& buffer, std::size_t at, std::size_t markerLength,
                               const std::string& replacement) {
        const std::size_t before = std::min<std::size_t>(at, kMarker.size() - 1);
        const std::string joined = buffer.substr(at - before, before) + replacement +
                                   buffer.substr(at + markerLength, kMarker.size() - 1);
        if (joined.find(kMarker) != std::string::npos)
            return true;
        std::size_t digits = at;
        while (digits > 0 && isDigit(buffer[digits - 1]))
            --digits;
        return !replacement.empty() && isDigit(replacement[0]) && digits < at &&
               digits >= kMarker.size() &&
               buffer.compare(digits - kMarker.size(), kMarker.size(), kMarker) == 0;
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    static std::string detailLine(const TWTSEntry* entry, std::int32_t number,
                                  const std::string& name) {
        if (!entry)
            return "          Removed reference to non-existant string " + std::to_string(number) +
                   " in " + name;
        if (entry->Lines.size() >= 2)
            return "          Inlined string " + std::to_string(number) + " with " +
                   std::to_string(entry->Lines.size()) + " lines into " + name;
        return "          Inlined string " + std::to_string(number) + " into " + name;
    }

    void scanMember(const std::string& name, MapFileSlot& slot) {
        if (slot.Present) {
            int count = 0;
            std::size_t at = slot.Data.find(kMarker);
            while (at != std::string::npos) {
                const std::string digits = digitsAt(slot.Data, at + kMarker.size());
                try {
                    const std::int32_t number = StrToInt(digits);
                    retainedIds.push_back(std::to_string(number));
                    ++count;
                } catch (const ProcessingError&) {
                    // Not a reference the game resolves; nothing is replaced here anyway.
                }
                at = slot.Data.find(kMarker, at + kMarker.size() + digits.size());
            }
            logKept(static_cast<std::size_t>(count), name);
        }
        slot.Data = std::string();
        slot.Present = false;
    }

    RunState& state;
    bool verbose;
    std::vector<std::string>& log;
    std::vector<std::string> retainedIds;
};

} // namespace

void LiteralInlineStrings(RunState& state, bool verbose, std::vector<std::string>& log) {
    LiteralRun(state, verbose, log).inlineStrings();
}

} // namespace parlune::test
