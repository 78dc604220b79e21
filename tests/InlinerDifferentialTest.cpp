// The real inliner against the literal one on thousands of generated runs with fixed seeds:
// member buffers, remaining entries, log transcripts and failures must be identical.

#include "processing/ProcessingError.h"
#include "tests/support/LiteralInliner.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

namespace parlune::test {
namespace {

struct Outcome {
    std::vector<std::string> log;
    std::string failure;
    RunState state;
};

Outcome runReal(const RunState& input, bool verbose) {
    RecordingProcessor run;
    static_cast<RunState&>(run) = input;
    run.verbose = verbose;
    Outcome outcome;
    try {
        run.InlineStrings();
    } catch (const ProcessingError& failure) {
        outcome.failure = failure.what();
    }
    outcome.log = run.log;
    outcome.state = static_cast<const RunState&>(run);
    return outcome;
}

Outcome runLiteral(const RunState& input, bool verbose) {
    Outcome outcome;
    outcome.state = input;
    try {
        LiteralInlineStrings(outcome.state, verbose, outcome.log);
    } catch (const ProcessingError& failure) {
        outcome.failure = failure.what();
    }
    return outcome;
}

std::vector<std::pair<std::int32_t, LineList>> entriesOf(const RunState& state) {
    std::vector<std::pair<std::int32_t, LineList>> entries;
    for (const TWTSEntry& entry : state.Entries)
        entries.emplace_back(entry.Id, entry.Lines);
    return entries;
}

template <std::size_t N>
std::vector<std::pair<bool, std::string>> slotsOf(const RunState& state,
                                                  const std::array<MapFileSlot, N>& slots) {
    std::vector<std::pair<bool, std::string>> contents;
    for (const MapFileSlot& slot : slots)
        contents.emplace_back(slot.Present, InlinedData(state, slot));
    return contents;
}

void expectSameOutcome(const Outcome& real, const Outcome& literal) {
    EXPECT_EQ(real.failure, literal.failure);
    EXPECT_EQ(real.log, literal.log);
    EXPECT_EQ(slotsOf(real.state, real.state.MapFiles),
              slotsOf(literal.state, literal.state.MapFiles));
    EXPECT_EQ(slotsOf(real.state, real.state.ScannedFiles),
              slotsOf(literal.state, literal.state.ScannedFiles));
    EXPECT_EQ(entriesOf(real.state), entriesOf(literal.state));
}

// Makes small runs that reach every rule: numbers present, missing, duplicated, negative and
// zero-padded; strings empty, multi-line and around the length limit before and after
// escaping; markers at both ends of a member and back to back; and now and then a marker
// that ends the run.
class CaseGenerator {
public:
    explicit CaseGenerator(std::uint32_t seed) : rng(seed) {}

    RunState makeState() {
        RunState state;
        ids.clear();
        const int entryCount = below(10);
        for (int i = 0; i < entryCount; ++i)
            state.Entries.push_back(makeEntry());
        const bool failing = chance(5);
        for (MapFileSlot& slot : state.MapFiles)
            fillMember(slot, 80, false);
        for (MapFileSlot& slot : state.ScannedFiles)
            fillMember(slot, 25, true);
        if (failing)
            addBadMarker(state.MapFiles[below(kMapFileCount)]);
        return state;
    }

    bool chance(int percent) { return below(100) < percent; }

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    template <std::size_t N> const char* pick(const char* const (&choices)[N]) {
        return choices[below(static_cast<int>(N))];
    }

    std::int32_t makeId() {
        if (!ids.empty() && chance(15))
            return ids[below(static_cast<int>(ids.size()))];
        if (chance(10))
            return -1 - below(3);
        if (chance(8))
            return chance(50) ? 2147483647 : 1000000;
        return below(16);
    }

    std::string shortLine() {
        // Starts and rests of a marker join with the bytes around the text into one.
        static const char* const pieces[] = {"a",        "Foot", " ",     "\"",        "\\",
                                             "\xC3\xA9", "9",    "_",     "TRIGSTR_3", "man",
                                             "x\\\"y",   "TRIG", "STR_5", "T"};
        std::string line;
        for (int n = below(5); n > 0; --n)
            line += pick(pieces);
        return line;
    }

    // Lines whose joined length lies around the limit, with a few bytes that escaping
    // lengthens, so the length before and after escaping falls on either side of it.
    LineList nearLimitLines() {
        const int lineCount = 1 + below(2);
        const int joined = 1019 + below(8);
        const int textBytes = joined - 2 * (lineCount - 1);
        const int first = lineCount == 1 ? textBytes : 1 + below(textBytes - 1);
        LineList lines{std::string(first, 'a')};
        if (lineCount == 2)
            lines.emplace_back(textBytes - first, 'a');
        for (int n = below(5); n > 0; --n) {
            std::string& line = lines[below(lineCount)];
            if (line.size() < 2)
                continue;
            const auto at = static_cast<std::size_t>(below(static_cast<int>(line.size()) - 1));
            line.replace(at, 2, pick({"\"a", "\\a", "a\"", "\r\n"}));
        }
        return lines;
    }

    TWTSEntry makeEntry() {
        TWTSEntry entry;
        entry.Id = makeId();
        ids.push_back(entry.Id);
        const int kind = below(100);
        if (kind < 15)
            return entry;
        if (kind < 20) {
            // Line ends inside a line never come from a table, but must not upset anything.
            entry.Lines = {pick({"a\r\nb", "\r", "\n", "c\r", "\"\r\n\\"})};
        } else if (kind < 40) {
            entry.Lines = nearLimitLines();
        } else {
            for (int n = kind < 75 ? 1 : 2 + below(2); n > 0; --n)
                entry.Lines.push_back(shortLine());
        }
        return entry;
    }

    std::string markerDigits() {
        std::int32_t number = below(20);
        if (!ids.empty() && chance(60))
            number = ids[below(static_cast<int>(ids.size()))];
        // A marker cannot name a negative number; those entries are never referenced.
        std::string digits = std::to_string(number < 0 ? -number : number);
        if (chance(20))
            digits.insert(0, static_cast<std::size_t>(1 + below(3)), '0');
        else if (chance(5))
            digits.insert(0, 13 - std::min<std::size_t>(13, digits.size()), '0');
        return digits;
    }

    std::string filler() {
        static const char* const pieces[] = {"a", " ",   "\0",   "\r\n", "\"",   "\\", "TRIGSTR",
                                             "T", "_9 ", "\xFF", "x",    "STR_", ";",  "(\"x\")"};
        std::string text;
        for (int n = below(4); n > 0; --n) {
            const char* piece = pick(pieces);
            text.append(piece, *piece == '\0' ? 1 : std::char_traits<char>::length(piece));
        }
        return text;
    }

    // In members that are only scanned, markers without digits or out of range are common;
    // they are skipped there.
    std::string scannedOnlyMarker() {
        return "TRIGSTR_" + std::string(pick({"", "x", "99999999999", "2147483648", "-4"}));
    }

    void fillMember(MapFileSlot& slot, int presentPercent, bool scanned) {
        slot.Present = chance(presentPercent);
        slot.Data.clear();
        if (!slot.Present)
            return;
        const int pieceCount = below(10);
        for (int i = 0; i < pieceCount; ++i) {
            const bool atEdge = i == 0 || i == pieceCount - 1;
            if (chance(atEdge ? 60 : 45))
                slot.Data += "TRIGSTR_" + markerDigits();
            else if (scanned && chance(20))
                slot.Data += scannedOnlyMarker();
            else
                slot.Data += filler();
        }
    }

    void addBadMarker(MapFileSlot& slot) {
        slot.Present = true;
        const std::string bad =
            "TRIGSTR_" + std::string(pick({"", "-1", "2147483648", "00099999999999", "x"}));
        slot.Data.insert(below(static_cast<int>(slot.Data.size()) + 1), bad);
    }

    std::mt19937 rng;
    std::vector<std::int32_t> ids;
};

constexpr int kCasesPerBlock = 500;

class InlinerDifferential : public testing::TestWithParam<int> {};

TEST_P(InlinerDifferential, MatchesTheLiteralInliner) {
    for (int i = 0; i < kCasesPerBlock; ++i) {
        const auto seed = static_cast<std::uint32_t>(GetParam() * kCasesPerBlock + i);
        SCOPED_TRACE("seed " + std::to_string(seed));
        CaseGenerator generator(seed);
        const RunState input = generator.makeState();
        const bool verbose = generator.chance(50);
        expectSameOutcome(runReal(input, verbose), runLiteral(input, verbose));
        if (testing::Test::HasFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(SeedBlocks, InlinerDifferential, testing::Range(0, 12));

bool anyLineHas(const std::vector<std::string>& log, std::string_view text) {
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& line) { return line.find(text) != line.npos; });
}

bool anyMemberHas(const RunState& state, std::string_view text) {
    return std::any_of(state.MapFiles.begin(), state.MapFiles.end(), [&](const MapFileSlot& slot) {
        return InlinedData(state, slot).find(text) != std::string::npos;
    });
}

bool endsWithMarker(std::string_view data) {
    const std::size_t marker = data.rfind("TRIGSTR_");
    if (marker == data.npos || marker + 8 == data.size())
        return false;
    return std::all_of(data.begin() + static_cast<std::ptrdiff_t>(marker) + 8, data.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool keepsLongString(const RunState& state) {
    return std::any_of(state.Entries.begin(), state.Entries.end(), [](const TWTSEntry& entry) {
        return !entry.Lines.empty() && entry.Lines[0].size() >= 600;
    });
}

// Guards the generator: the generated runs must really reach the rules compared above.
TEST(InlinerDifferentialCoverage, GeneratedRunsReachEveryRule) {
    std::map<std::string, int> seen;
    for (int seed = 0; seed < 2 * kCasesPerBlock; ++seed) {
        CaseGenerator generator(static_cast<std::uint32_t>(seed));
        const RunState input = generator.makeState();
        const Outcome outcome = runReal(input, true);
        const auto count = [&](const char* rule, bool reached) { seen[rule] += reached; };
        count("failure", !outcome.failure.empty());
        count("missing string", anyLineHas(outcome.log, "non-existant string"));
        count("multi-line string", anyLineHas(outcome.log, " lines into war3map.j"));
        count("skin inlining", anyLineHas(outcome.log, "into war3mapSkin.txt"));
        count("reference kept in scanned member", anyLineHas(outcome.log, "references kept in"));
        count("member without markers", anyLineHas(outcome.log, "No strings to inline into"));
        count("string pruned", anyLineHas(outcome.log, "Removed string"));
        count("long string inlined", anyMemberHas(outcome.state, std::string(1000, 'a')));
        count("long string kept", outcome.failure.empty() && keepsLongString(outcome.state));
        count("marker at offset 0",
              outcome.failure.empty() && input.MapFiles[0].Data.starts_with("TRIGSTR_"));
        count("marker at the end",
              outcome.failure.empty() && endsWithMarker(input.MapFiles[6].Data));
    }
    for (const auto& [rule, runs] : seen)
        EXPECT_GE(runs, 20) << rule;
    EXPECT_EQ(seen.size(), 11u);
}

} // namespace
} // namespace parlune::test
