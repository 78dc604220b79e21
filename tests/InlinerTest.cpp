// Inlining the strings into the members and pruning the table: every rule over real buffers
// and entries, with whole log transcripts with and without the detail lines.

#include "processing/InlinedText.h"
#include "processing/MarkerSearch.h"
#include "processing/NumberTable.h"
#include "processing/ProcessingError.h"
#include "processing/StringIndex.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <random>
#include <sstream>

namespace parlune::test {
namespace {

using namespace std::string_literals;

struct Member {
    std::string name;
    std::string data;
    bool operator==(const Member&) const = default;
};

MapFileSlot& slotNamed(RunState& state, std::string_view name) {
    for (std::size_t i = 0; i < kMapFileCount; ++i)
        if (kMapFileNames[i] == name)
            return state.MapFiles[i];
    for (std::size_t i = 0; i < kScannedFileCount; ++i)
        if (kScannedFileNames[i] == name)
            return state.ScannedFiles[i];
    throw std::invalid_argument("no member slot " + std::string(name));
}

// The eight rewritten members that are present, in order, with their contents.
std::vector<Member> presentMembers(const RunState& state) {
    std::vector<Member> members;
    for (std::size_t i = 0; i < kMapFileCount; ++i)
        if (state.MapFiles[i].Present)
            members.push_back(
                {std::string(kMapFileNames[i]), InlinedData(state, state.MapFiles[i])});
    return members;
}

std::vector<std::int32_t> idsOf(const RunState& state) {
    std::vector<std::int32_t> ids;
    for (const TWTSEntry& entry : state.Entries)
        ids.push_back(entry.Id);
    return ids;
}

// The transcript as it reads without "Debug output": the detail lines left out.
std::string withoutDetails(const std::string& transcript) {
    std::istringstream lines(transcript);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (!line.starts_with("          "))
            kept += line + "\n";
    return kept;
}

struct Outcome {
    std::string failure;
    std::string transcript;
    std::vector<Member> members;
    std::vector<std::int32_t> ids;
};

Outcome inlineInto(const std::vector<TWTSEntry>& strings, const std::vector<Member>& members,
                   bool verbose) {
    RecordingProcessor run;
    run.verbose = verbose;
    run.Entries = strings;
    for (const Member& member : members) {
        MapFileSlot& slot = slotNamed(run, member.name);
        slot.Present = true;
        slot.Data = member.data;
    }
    Outcome outcome;
    try {
        run.InlineStrings();
    } catch (const ProcessingError& failure) {
        outcome.failure = failure.what();
    }
    outcome.transcript = run.Transcript();
    outcome.members = presentMembers(run);
    outcome.ids = idsOf(run);
    return outcome;
}

const TWTSEntry kFootman{1, {"Footman"}};
const TWTSEntry kTwoLines{2, {"Say \"hi\"", "C:\\maps"}};

struct InlineCase {
    const char* name;
    std::vector<TWTSEntry> strings;
    std::vector<Member> before;
    std::vector<Member> after;
    std::vector<std::int32_t> retained;
    std::string verboseTranscript;
};

class InlineStrings : public testing::TestWithParam<InlineCase> {};

// Every marker in the rewritten members names a string of the kept table, unless its string
// was missing before.
void expectMarkersNameKeptStrings(const std::vector<TWTSEntry>& strings, const Outcome& outcome) {
    for (const Member& member : outcome.members) {
        for (std::size_t at = member.data.find(kReferenceMarker); at != std::string::npos;
             at = member.data.find(kReferenceMarker, at + 1)) {
            const auto number = ReferenceNumber(DigitsAfterMarker(member.data, at));
            ASSERT_TRUE(number.has_value()) << member.name << " at " << at;
            const auto named = [&](const TWTSEntry& entry) { return entry.Id == *number; };
            EXPECT_TRUE(std::ranges::find(outcome.ids, *number) != outcome.ids.end() ||
                        std::ranges::none_of(strings, named))
                << member.name << " names string " << *number;
        }
    }
}

TEST_P(InlineStrings, RewritesMembersAndPrunesTheTable) {
    const InlineCase& c = GetParam();
    for (const bool verbose : {true, false}) {
        SCOPED_TRACE(verbose ? "with detail lines" : "without detail lines");
        const Outcome outcome = inlineInto(c.strings, c.before, verbose);
        EXPECT_EQ(outcome.failure, "");
        EXPECT_EQ(outcome.members, c.after);
        EXPECT_EQ(outcome.ids, c.retained);
        EXPECT_EQ(outcome.transcript,
                  verbose ? c.verboseTranscript : withoutDetails(c.verboseTranscript));
        expectMarkersNameKeptStrings(c.strings, outcome);
    }
}

std::string repeat(char c, std::size_t count) {
    return std::string(count, c);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InlineStrings,
    testing::Values(
        InlineCase{"ScriptEscapesQuotesBackslashesAndLineEnds",
                   {kTwoLines},
                   {{"war3map.j", "call DisplayText(\"TRIGSTR_002\")\r\n"}},
                   {{"war3map.j", "call DisplayText(\"Say \\\"hi\\\"\\r\\nC:\\\\maps\")\r\n"}},
                   {},
                   "Inlining trigger strings...\n"
                   "          Inlined string 2 with 2 lines into war3map.j\n"
                   "     1 strings inlined into war3map.j\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "          Removed string 0\n"
                   "     Removed 1 strings (0 strings retained)\n"},
        InlineCase{"SkinKeepsMultiLineStringsThatOtherMembersInline",
                   {kFootman, kTwoLines},
                   {{"war3map.w3u", "TRIGSTR_2\0"s},
                    {"war3mapSkin.txt", "Tip=TRIGSTR_2\r\nName=TRIGSTR_1\r\n"}},
                   {{"war3map.w3u", "Say \"hi\"\r\nC:\\maps\0"s},
                    {"war3mapSkin.txt", "Tip=TRIGSTR_2\r\nName=Footman\r\n"}},
                   {2},
                   "Inlining trigger strings...\n"
                   "          Inlined string 2 with 2 lines into war3map.w3u\n"
                   "     1 strings inlined into war3map.w3u\n"
                   "          Inlined string 1 into war3mapSkin.txt\n"
                   "     1 strings inlined into war3mapSkin.txt\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "          Removed string 0\n"
                   "     Removed 1 strings (1 strings retained)\n"},
        InlineCase{
            "LimitMeasuredAfterJoiningTheLines",
            {{3, {repeat('a', 511), repeat('b', 510)}}, {4, {repeat('a', 512), repeat('b', 510)}}},
            {{"war3map.w3u", "TRIGSTR_3|TRIGSTR_4|"}},
            {{"war3map.w3u", repeat('a', 511) + "\r\n" + repeat('b', 510) + "|TRIGSTR_4|"}},
            {4},
            "Inlining trigger strings...\n"
            "          Inlined string 3 with 2 lines into war3map.w3u\n"
            "     1 strings inlined into war3map.w3u\n"
            "Removing inlined strings from war3map.wts...\n"
            "          Removed string 0\n"
            "     Removed 1 strings (1 strings retained)\n"},
        InlineCase{
            "LimitMeasuredAfterEscapingForTheScript",
            {{5, {"\"" + repeat('x', 1021)}},
             {6, {"\\" + repeat('x', 1022)}},
             {7, {repeat('x', 510), repeat('y', 510)}}},
            {{"war3map.j", "A(\"TRIGSTR_5\")B(\"TRIGSTR_6\")C(\"TRIGSTR_7\")"},
             {"war3map.w3a", "TRIGSTR_6"}},
            {{"war3map.j", "A(\"\\\"" + repeat('x', 1021) + "\")B(\"TRIGSTR_6\")C(\"TRIGSTR_7\")"},
             {"war3map.w3a", "\\" + repeat('x', 1022)}},
            {6, 7},
            "Inlining trigger strings...\n"
            "          Inlined string 5 into war3map.j\n"
            "     1 strings inlined into war3map.j\n"
            "          Inlined string 6 into war3map.w3a\n"
            "     1 strings inlined into war3map.w3a\n"
            "Removing inlined strings from war3map.wts...\n"
            "          Removed string 0\n"
            "     Removed 1 strings (2 strings retained)\n"},
        InlineCase{"MarkersAtBothEndsAndBackToBack",
                   {kFootman, kTwoLines},
                   {{"war3map.w3h", "TRIGSTR_1TRIGSTR_1"},
                    {"war3map.w3t", "TRIGSTR_1 and TRIGSTR_1"},
                    {"war3mapSkin.txt", "TRIGSTR_2TRIGSTR_1"}},
                   {{"war3map.w3h", "FootmanFootman"},
                    {"war3map.w3t", "Footman and Footman"},
                    {"war3mapSkin.txt", "TRIGSTR_2Footman"}},
                   {2},
                   "Inlining trigger strings...\n"
                   "          Inlined string 1 into war3map.w3h\n"
                   "          Inlined string 1 into war3map.w3h\n"
                   "     2 strings inlined into war3map.w3h\n"
                   "          Inlined string 1 into war3map.w3t\n"
                   "          Inlined string 1 into war3map.w3t\n"
                   "     2 strings inlined into war3map.w3t\n"
                   "          Inlined string 1 into war3mapSkin.txt\n"
                   "     1 strings inlined into war3mapSkin.txt\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "          Removed string 0\n"
                   "     Removed 1 strings (1 strings retained)\n"},
        InlineCase{"EmptyAndMissingStringsLeaveNothing",
                   {{8, {}}},
                   {{"war3map.w3q", "[TRIGSTR_8][TRIGSTR_0012][TRIGSTR_9]"}},
                   {{"war3map.w3q", "[][][]"}},
                   {},
                   "Inlining trigger strings...\n"
                   "          Inlined string 8 into war3map.w3q\n"
                   "          Removed reference to non-existant string 12 in war3map.w3q\n"
                   "          Removed reference to non-existant string 9 in war3map.w3q\n"
                   "     3 strings inlined into war3map.w3q\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "          Removed string 0\n"
                   "     Removed 1 strings (0 strings retained)\n"},
        InlineCase{"MembersWithoutMarkersAreReportedAbsentOnesAreNot",
                   {kFootman},
                   {{"war3map.j", "TRIGSTR"},
                    {"war3map.w3i", "TRIGSTR-1 trigstr_1"},
                    {"war3mapSkin.txt", ""}},
                   {{"war3map.j", "TRIGSTR"},
                    {"war3map.w3i", "TRIGSTR-1 trigstr_1"},
                    {"war3mapSkin.txt", ""}},
                   {},
                   "Inlining trigger strings...\n"
                   "     No strings to inline into war3map.j\n"
                   "     No strings to inline into war3map.w3i\n"
                   "     No strings to inline into war3mapSkin.txt\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "          Removed string 0\n"
                   "     Removed 1 strings (0 strings retained)\n"},
        InlineCase{"PaddedDigitsNameTheSameString",
                   {{12, {"Knight"}}},
                   {{"war3map.w3u", "TRIGSTR_12,TRIGSTR_0012,TRIGSTR_0000000000012"}},
                   {{"war3map.w3u", "Knight,Knight,Knight"}},
                   {},
                   "Inlining trigger strings...\n"
                   "          Inlined string 12 into war3map.w3u\n"
                   "          Inlined string 12 into war3map.w3u\n"
                   "          Inlined string 12 into war3map.w3u\n"
                   "     3 strings inlined into war3map.w3u\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "          Removed string 0\n"
                   "     Removed 1 strings (0 strings retained)\n"},
        InlineCase{"PruningReportsPositionsFromTheLast",
                   {{-5, {"Negative"}}, kFootman, kTwoLines, {3, {"Unused"}}},
                   {{"war3map.w3u", "TRIGSTR_1"}, {"war3mapSkin.txt", "TRIGSTR_2"}},
                   {{"war3map.w3u", "Footman"}, {"war3mapSkin.txt", "TRIGSTR_2"}},
                   {2},
                   "Inlining trigger strings...\n"
                   "          Inlined string 1 into war3map.w3u\n"
                   "     1 strings inlined into war3map.w3u\n"
                   "     0 strings inlined into war3mapSkin.txt\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "          Removed string 3\n"
                   "          Removed string 1\n"
                   "          Removed string 0\n"
                   "     Removed 3 strings (1 strings retained)\n"},
        InlineCase{"DuplicateNumbersUseTheFirstEntryAndStayTogether",
                   {{7, {"a", "b"}}, {7, {"one"}}},
                   {{"war3map.w3u", "TRIGSTR_7"}, {"war3mapSkin.txt", "TRIGSTR_7"}},
                   {{"war3map.w3u", "a\r\nb"}, {"war3mapSkin.txt", "TRIGSTR_7"}},
                   {7, 7},
                   "Inlining trigger strings...\n"
                   "          Inlined string 7 with 2 lines into war3map.w3u\n"
                   "     1 strings inlined into war3map.w3u\n"
                   "     0 strings inlined into war3mapSkin.txt\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "     Removed 0 strings (2 strings retained)\n"},
        // An insertion never makes a marker nor runs on the digits of one left in place: such a
        // reference stays, and its string with it.
        InlineCase{"ObjectDataTextThatWouldChangeAMarkerStays",
                   {{1, {"see TRIGSTR_2"}},
                    {2, {"Knight"}},
                    {3, {"Big TRIG"}},
                    {4, {"STR_8"}},
                    {5, {"5 gold"}}},
                   {{"war3map.w3a", "TRIGSTR_1|TRIGSTR_2|TRIGSTR_003STR_5|TRIGTRIGSTR_4|"
                                    "TRIGSTR_1TRIGSTR_5|TRIGTRIGSTR_9STR_7|TRIGSTR_9|TRIGSTR_3"}},
                   {{"war3map.w3a", "TRIGSTR_1|Knight|TRIGSTR_003STR_5|TRIGTRIGSTR_4|"
                                    "TRIGSTR_1TRIGSTR_5|TRIGTRIGSTR_9STR_7||Big TRIG"}},
                   {1, 3, 4, 5},
                   "Inlining trigger strings...\n"
                   "          Inlined string 2 into war3map.w3a\n"
                   "          Removed reference to non-existant string 9 in war3map.w3a\n"
                   "          Inlined string 3 into war3map.w3a\n"
                   "     3 strings inlined into war3map.w3a\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "          Removed string 1\n"
                   "     Removed 1 strings (4 strings retained)\n"},
        InlineCase{"ScriptTextThatWouldChangeAMarkerStays",
                   {{1, {"He said \"TRIG"}}, {2, {"5 gold"}}, {3, {"see TRIGSTR_9"}}},
                   {{"war3map.j", "call X(\"TRIGSTR_001STR_9\")\r\ncall Y(\"TRIGSTR_003TRIGSTR_2\")"
                                  "\r\ncall Z(\"TRIGSTR_2\", \"TRIGSTR_1\")"}},
                   {{"war3map.j", "call X(\"TRIGSTR_001STR_9\")\r\ncall Y(\"TRIGSTR_003TRIGSTR_2\")"
                                  "\r\ncall Z(\"5 gold\", \"He said \\\"TRIG\")"}},
                   {1, 2, 3},
                   "Inlining trigger strings...\n"
                   "          Inlined string 2 into war3map.j\n"
                   "          Inlined string 1 into war3map.j\n"
                   "     2 strings inlined into war3map.j\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "     Removed 0 strings (3 strings retained)\n"},
        InlineCase{
            "SkinTextThatWouldChangeAMarkerStays",
            {{1, {"Two", "lines"}}, {2, {"5 gold"}}, {3, {"xTRIG"}}, {4, {"see TRIGSTR_3"}}},
            {{"war3mapSkin.txt",
              "A=TRIGSTR_001TRIGSTR_002\r\nB=TRIGSTR_002\r\nD=TRIGSTR_4\r\nC=TRIGSTR_3"}},
            {{"war3mapSkin.txt", "A=TRIGSTR_001TRIGSTR_002\r\nB=5 gold\r\nD=TRIGSTR_4\r\nC=xTRIG"}},
            {1, 2, 4},
            "Inlining trigger strings...\n"
            "          Inlined string 2 into war3mapSkin.txt\n"
            "          Inlined string 3 into war3mapSkin.txt\n"
            "     2 strings inlined into war3mapSkin.txt\n"
            "Removing inlined strings from war3map.wts...\n"
            "          Removed string 2\n"
            "     Removed 1 strings (3 strings retained)\n"},
        InlineCase{"ChainOfMarkersStaysAtItsStart",
                   {{3, {"TRIGSTR_1361"}}, {1361, {"TRIGSTR_3426"}}, {3426, {"Footman"}}},
                   {{"war3map.w3u", "unam TRIGSTR_003\0"s}},
                   {{"war3map.w3u", "unam TRIGSTR_003\0"s}},
                   {3},
                   "Inlining trigger strings...\n"
                   "     0 strings inlined into war3map.w3u\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "          Removed string 2\n"
                   "          Removed string 1\n"
                   "     Removed 2 strings (1 strings retained)\n"},
        InlineCase{"EditorTriggersKeepTheirStrings",
                   {kFootman, {4, {"Peasant"}}, {5, {"Unused"}}, {6, {"Trigger comment"}}},
                   {{"war3map.w3u", "TRIGSTR_1"},
                    {"war3map.wct", "TRIGSTR_6"},
                    {"war3map.wtg", "TRIGSTR_006\0TRIGSTR_4\0TRIGSTR_\0TRIGSTR_99999999999"s}},
                   {{"war3map.w3u", "Footman"}},
                   {4, 6},
                   "Inlining trigger strings...\n"
                   "          Inlined string 1 into war3map.w3u\n"
                   "     1 strings inlined into war3map.w3u\n"
                   "     2 references kept in war3map.wtg\n"
                   "     1 references kept in war3map.wct\n"
                   "Removing inlined strings from war3map.wts...\n"
                   "          Removed string 2\n"
                   "          Removed string 0\n"
                   "     Removed 2 strings (2 strings retained)\n"}),
    [](const testing::TestParamInfo<InlineCase>& info) { return info.param.name; });

struct FailureCase {
    const char* name;
    std::vector<Member> before;
    std::vector<Member> after;
    std::string message;
    std::string verboseTranscript;
};

class InlineFailure : public testing::TestWithParam<FailureCase> {};

// The run ends at the bad marker; the references before it have been replaced and
// reported, and the table is left as it was.
TEST_P(InlineFailure, EndsTheRunWithTheIntegerMessage) {
    const FailureCase& c = GetParam();
    for (const bool verbose : {true, false}) {
        SCOPED_TRACE(verbose ? "with detail lines" : "without detail lines");
        const Outcome outcome = inlineInto({kFootman}, c.before, verbose);
        EXPECT_EQ(outcome.failure, c.message);
        EXPECT_EQ(outcome.members, c.after);
        EXPECT_EQ(outcome.ids, std::vector<std::int32_t>{1});
        EXPECT_EQ(outcome.transcript,
                  verbose ? c.verboseTranscript : withoutDetails(c.verboseTranscript));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InlineFailure,
    testing::Values(
        FailureCase{"MarkerWithoutDigits",
                    {{"war3map.w3a", "TRIGSTR_1"}, {"war3map.w3h", "A TRIGSTR_1 B TRIGSTR_ C"}},
                    {{"war3map.w3a", "Footman"}, {"war3map.w3h", "A Footman B TRIGSTR_ C"}},
                    "'' ist kein gültiger Integerwert",
                    "Inlining trigger strings...\n"
                    "          Inlined string 1 into war3map.w3a\n"
                    "     1 strings inlined into war3map.w3a\n"
                    "          Inlined string 1 into war3map.w3h\n"},
        FailureCase{"NegativeNumber",
                    {{"war3map.j", "TRIGSTR_-1"}},
                    {{"war3map.j", "TRIGSTR_-1"}},
                    "'' ist kein gültiger Integerwert",
                    "Inlining trigger strings...\n"},
        FailureCase{"NumberAboveTheRange",
                    {{"war3map.w3u", "TRIGSTR_00002147483647|TRIGSTR_2147483648"}},
                    {{"war3map.w3u", "|TRIGSTR_2147483648"}},
                    "'2147483648' ist kein gültiger Integerwert",
                    "Inlining trigger strings...\n"
                    "          Removed reference to non-existant string 2147483647 in "
                    "war3map.w3u\n"},
        FailureCase{"PaddedNumberAboveTheRangeIsQuotedAsWritten",
                    {{"war3mapSkin.txt", "X=TRIGSTR_0009999999999"}},
                    {{"war3mapSkin.txt", "X=TRIGSTR_0009999999999"}},
                    "'0009999999999' ist kein gültiger Integerwert",
                    "Inlining trigger strings...\n"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// A table of tens of thousands of numbers, every step-th one from first, each twice.
std::vector<TWTSEntry> numbersTwice(std::int32_t first, std::int32_t step) {
    std::vector<TWTSEntry> entries;
    for (const char* which : {"first ", "later "})
        for (std::int32_t id = first; id < first + 50000 * step; id += step)
            entries.push_back({id, {which + std::to_string(id)}});
    return entries;
}

// Every look-up answers like a scan from the front: the first entry of a number, nothing for a
// number without one. Numbers that fill their range, as a map editor gives them, and numbers
// spread far apart, the extremes among them, are looked up each their own way.
TEST(StringIndexLookUp, FindsTheFirstEntryOfEveryNumber) {
    for (const std::int32_t step : {2, 3}) {
        std::vector<TWTSEntry> entries = numbersTwice(-3000, step);
        if (step == 3) {
            entries.push_back({2147483647, {"Say \"hi\"", "C:\\maps"}});
            entries.push_back({-2147483647 - 1, {}});
        }
        const StringIndex index(entries);
        for (std::int32_t id = -3000; id < -3000 + 50000 * step; id += step) {
            const std::uint32_t place = index.Find(id);
            ASSERT_NE(place, StringIndex::kNotFound) << id;
            EXPECT_EQ(index.Entry(place).Lines, LineList{"first " + std::to_string(id)});
            EXPECT_EQ(index.Find(id + 1), StringIndex::kNotFound) << id + 1;
        }
        for (const std::int32_t outside : {-3001, -3000 + 50000 * step, 2147483646, -2147483647})
            EXPECT_EQ(index.Find(outside), StringIndex::kNotFound) << outside;
        if (step == 3) {
            const std::uint32_t empty = index.Find(-2147483647 - 1);
            ASSERT_NE(empty, StringIndex::kNotFound);
            EXPECT_EQ(&index.Entry(empty), &entries.back());
        } else {
            EXPECT_EQ(index.Find(2147483647), StringIndex::kNotFound);
            EXPECT_EQ(index.Find(-2147483647 - 1), StringIndex::kNotFound);
        }
    }
}

// The marker search finds what a plain search finds, wherever the marker stands against the
// blocks it reads: in data dense with near misses ("T" with "_" seven bytes on, cut markers),
// from every start, up to the last byte.
TEST(ReferenceMarkerSearch, FindsWhatAPlainSearchFinds) {
    std::mt19937 rng(7);
    const std::string pieces[] = {"TRIGSTR_", "TRIGSTR", "T______", "TRIGSTRT", "_", "x", "T"};
    for (int round = 0; round < 300; ++round) {
        std::string data;
        while (data.size() < static_cast<std::size_t>(round % 90))
            data += pieces[rng() % std::size(pieces)];
        const std::string_view view(data);
        for (std::size_t from = 0; from <= data.size() + 1; ++from)
            ASSERT_EQ(FindReferenceMarker(view, from), view.find(kReferenceMarker, from))
                << data << " from " << from;
    }
}

// Texts are measured when asked for, in both forms, each as long as the text the writer makes;
// a text too long to be inserted measures kInlineLimit.
TEST(StringIndexTexts, MeasuresWhatTheWriterMakes) {
    const std::vector<TWTSEntry> entries = {{1, {"a \"b\""}},
                                            {2, {std::string(1030, 'x')}},
                                            {3, {std::string(1020, 'y') + "\"\""}},
                                            {4, {"Say \"hi\"", "C:\\maps"}},
                                            {5, {}},
                                            {6, {"one\r\ntwo\r", "\n"}},
                                            {7, {""}},
                                            {1, {"later"}}};
    StringIndex index(entries);
    constexpr TextForm plain = TextForm::Plain, jass = TextForm::Jass, lua = TextForm::Lua;
    for (std::int32_t id = 1; id <= 7; ++id)
        for (const TextForm form : {plain, jass, lua})
            index.Request(index.Find(id), form);
    index.MeasureRequestedTexts();
    std::string scratch;
    const auto text = [&](std::int32_t id, TextForm form) {
        const std::uint32_t place = index.Find(id);
        const std::string made(InlinedText(index.Entry(place).Lines, form, scratch));
        if (index.TextLength(place, form) >= kInlineLimit) {
            EXPECT_GE(made.size(), kInlineLimit) << id;
            return std::string("(too long)");
        }
        EXPECT_EQ(made.size(), index.TextLength(place, form)) << id;
        return made;
    };
    EXPECT_EQ(text(1, plain), "a \"b\"");
    EXPECT_EQ(text(1, jass), "a \\\"b\\\"");
    EXPECT_EQ(text(1, lua), "a \\\"b\\\"");
    EXPECT_EQ(text(2, plain), "(too long)");
    EXPECT_EQ(text(3, plain), std::string(1020, 'y') + "\"\"");
    EXPECT_EQ(text(3, jass), "(too long)");
    EXPECT_EQ(text(3, lua), "(too long)");
    EXPECT_EQ(text(4, plain), "Say \"hi\"\r\nC:\\maps");
    EXPECT_EQ(text(4, jass), "Say \\\"hi\\\"\\r\\nC:\\\\maps");
    EXPECT_EQ(text(5, jass), "");
    EXPECT_EQ(text(5, lua), "");
    EXPECT_EQ(text(6, plain), "one\r\ntwo\r\r\n\n");
    EXPECT_EQ(text(6, jass), "one\\r\\ntwo\r\\r\\n\n");
    EXPECT_EQ(text(6, lua), "one\\r\\ntwo\\r\\r\\n\\n");
    EXPECT_EQ(text(7, lua), "");
}

// The script's text escaped one byte at a time, the way a reader of the rule would.
std::string escapedByteByByte(const LineList& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\\r\\n";
        const std::string& line = lines[i];
        for (std::size_t k = 0; k < line.size(); ++k) {
            if (line[k] == '\r' && k + 1 < line.size() && line[k + 1] == '\n') {
                text += "\\r\\n";
                ++k;
            } else {
                if (line[k] == '\\' || line[k] == '"')
                    text += '\\';
                text += line[k];
            }
        }
    }
    return text;
}

// Lengths are measured eight bytes at a time: every special byte at every offset within and
// across those eight, CR LF split between them included, measures what is made.
TEST(InlinedTexts, MeasuredLengthsMatchTheTextsMade) {
    std::mt19937 random(7);
    // The bytes on either side of every class the escaping of either script tells apart.
    const std::string alphabet = "ab\\\"'\r\n|\x7E\x7F\x80\xFF\x1F "s + '\0';
    std::string scratch;
    for (int round = 0; round < 4000; ++round) {
        LineList lines(1 + random() % 3);
        // Now and then a long line, of hundreds of words.
        const std::size_t longest = round % 100 == 0 ? 5000 : 80;
        for (std::string& line : lines)
            for (std::size_t length = random() % longest; line.size() < length;)
                line += alphabet[random() % alphabet.size()];
        const std::string script(InlinedText(lines, TextForm::Jass, scratch));
        ASSERT_EQ(script, escapedByteByByte(lines)) << round;
        ASSERT_EQ(ScriptTextLength(lines), script.size()) << round;
        const std::string plain(InlinedText(lines, TextForm::Plain, scratch));
        std::string joined = lines[0];
        for (std::size_t i = 1; i < lines.size(); ++i)
            joined += "\r\n" + lines[i];
        ASSERT_EQ(plain, joined) << round;
        ASSERT_EQ(PlainTextLength(lines), plain.size()) << round;
        ASSERT_EQ(LuaTextLength(lines), InlinedText(lines, TextForm::Lua, scratch).size()) << round;
    }
    for (const std::string& dense : {std::string(5000, '"'), std::string(5000, '\\')}) {
        EXPECT_EQ(ScriptTextLength({dense}), 10000u);
        EXPECT_EQ(ScriptTextLength({"a" + dense}), 10001u);
    }
    std::string lineEnds;
    for (int i = 0; i < 2500; ++i)
        lineEnds += "\r\n";
    EXPECT_EQ(ScriptTextLength({lineEnds}), 10000u);
}

// The numbers of a table and of the retained strings: every number, the extremes included,
// keeps the first value it was given while the table doubles; numbers that collide on their
// first slot still find their own.
TEST(NumberTableLookUp, KeepsTheFirstValueOfEveryNumberWhileGrowing) {
    NumberTable table;
    std::vector<std::int32_t> numbers = {0, -1, 2147483647, -2147483647 - 1};
    for (std::int32_t n = 1; n < 20000; ++n)
        numbers.push_back(n % 2 == 0 ? n * 65536 : -n * 7);
    for (std::size_t i = 0; i < numbers.size(); ++i)
        ASSERT_TRUE(table.Add(numbers[i], static_cast<std::uint32_t>(i + 1))) << numbers[i];
    EXPECT_EQ(table.Size(), numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        EXPECT_FALSE(table.Add(numbers[i], 99));
        ASSERT_EQ(table.Get(numbers[i]), i + 1) << numbers[i];
    }
    EXPECT_EQ(table.Get(12345), 0u);
    EXPECT_EQ(table.Get(65536 * 3), 0u);
    EXPECT_EQ(table.Size(), numbers.size());
}

// Numbers far outside the table's range, below and above it, among enough references for the
// look-ups to read ahead, are strings the table lacks: replaced by nothing, while the others
// around them are inlined.
TEST(InlineStringsRun, NumbersFarOutsideTheTableAreMissingStrings) {
    RecordingProcessor run;
    run.Entries = {{7, {"Seven"}}, {8, {"Eight"}}, {9, {"Nine"}}};
    std::string script;
    std::string expected;
    for (const char* number : {"7", "2147483647", "8", "10", "9", "0", "6", "1000000000"}) {
        for (int copy = 0; copy < 4; ++copy) {
            script += std::string("X(\"TRIGSTR_") + number + "\")";
            const std::string text = number == std::string("7")   ? "Seven"
                                     : number == std::string("8") ? "Eight"
                                     : number == std::string("9") ? "Nine"
                                                                  : "";
            expected += "X(\"" + text + "\")";
        }
    }
    run.MapFiles[0] = MapFileSlot::Extracted(script);
    run.InlineStrings();
    EXPECT_EQ(InlinedData(run.MapFiles[0], run.InlinedStrings), expected);
    EXPECT_EQ(run.Transcript(), "Inlining trigger strings...\n"
                                "     32 strings inlined into war3map.j\n"
                                "Removing inlined strings from war3map.wts...\n"
                                "     Removed 3 strings (0 strings retained)\n");
}

TEST(InlineStringsRun, ScannedMembersAreReleasedAfterTheScan) {
    RecordingProcessor run;
    run.Entries = {kFootman};
    slotNamed(run, "war3map.wtg") = MapFileSlot::Extracted("TRIGSTR_1");
    slotNamed(run, "war3map.wct") = MapFileSlot::Extracted("nothing");
    run.InlineStrings();
    for (const MapFileSlot& slot : run.ScannedFiles) {
        EXPECT_FALSE(slot.Present);
        EXPECT_EQ(slot.Data, "");
    }
    EXPECT_EQ(idsOf(run), std::vector<std::int32_t>{1});
}

// A whole run over a real map holding every member beside the eight: the object data of
// destructables, doodads and skins take strings as war3map.w3a does (one line, several lines,
// too long, missing), the Lua script inside its literals only, and the editor's triggers keep
// theirs. The new members' lines come after the eight's, each in its phase.
TEST(InlineStringsRun, InlinesIntoEveryObjectDataMemberAndTheLuaScript) {
    ScratchDir dir;
    const std::string table = MakeTable({{1, "Footman"},
                                         {2, "Say \"hi\"\nC:\\maps"},
                                         {3, "Tree"},
                                         {4, "Opens the gate"},
                                         {5, "Custom text"},
                                         {6, std::string(1100, 'x')}});
    const std::string objects = "unamTRIGSTR_001\0TRIGSTR_002\0TRIGSTR_006\0TRIGSTR_009\0"s;
    const std::string newObjects = "unamFootman\0Say \"hi\"\r\nC:\\maps\0TRIGSTR_006\0\0"s;
    const std::string lua = "SetMapName(\"TRIGSTR_002\") -- TRIGSTR_003\r\n";
    const std::string newLua = "SetMapName(\"Say \\\"hi\\\"\\r\\nC:\\\\maps\") -- TRIGSTR_003\r\n";
    Members members = {{"war3map.wts", table},
                       {"war3map.lua", lua},
                       {"war3map.wtg", "WTG!\x07\0\0\0TRIGSTR_004\0"s},
                       {"war3map.wct", "// TRIGSTR_005\r\n"}};
    std::string extracted, inlined, added;
    for (std::size_t i = kReportedFileCount; i < kMapFileCount; ++i) {
        const std::string name(kMapFileNames[i]);
        const bool isLua = name == kLuaScriptName;
        if (!isLua)
            members.push_back({name, objects});
        const auto size = [&](bool before) {
            return std::to_string(
                (isLua ? (before ? lua : newLua) : (before ? objects : newObjects)).size());
        };
        extracted += "     Extracted " + name + " (" + size(true) + " bytes)\n";
        inlined += isLua ? "     1 strings inlined into war3map.lua\n"
                           "     1 references kept in war3map.lua\n"
                         : "     3 strings inlined into " + name + "\n";
        added += "     Added " + name + " (" + size(false) + " bytes)\n";
    }
    RecordingProcessor run;
    run.SourcePath = MakeMap(dir, "source.w3x", members);
    run.TargetPath = dir.File("target.w3x");
    run.noCompact = true;
    ASSERT_EQ(run.RunCatching(), "");

    const std::string newTable = MakeTable(
        {{3, "Tree"}, {4, "Opens the gate"}, {5, "Custom text"}, {6, std::string(1100, 'x')}});
    EXPECT_EQ(run.Transcript(), "Extracting files from map...\n"
                                "     Extracted war3map.wts (" +
                                    std::to_string(table.size()) + " bytes)\n" + kNoMembersLines +
                                    extracted +
                                    "Loading war3map.wts...\n"
                                    "     31 lines loaded\n"
                                    "Parsing war3map.wts...\n"
                                    "     6 strings found\n"
                                    "Inlining trigger strings...\n" +
                                    inlined +
                                    "     1 references kept in war3map.wtg\n"
                                    "     1 references kept in war3map.wct\n"
                                    "Removing inlined strings from war3map.wts...\n"
                                    "     Removed 2 strings (4 strings retained)\n"
                                    "Writing new war3map.wts...\n"
                                    "     Done\n"
                                    "Writing new map file...\n"
                                    "     Copied old map file\n"
                                    "     Added war3map.wts (" +
                                    std::to_string(newTable.size()) + " bytes)\n" + added +
                                    "     Removed attributes file\n"
                                    "Everything done.\n");
    EXPECT_EQ(ReadMember(run.TargetPath, "war3map.wts"), newTable);
    EXPECT_EQ(ReadMember(run.TargetPath, "war3map.lua"), newLua);
    for (std::size_t i = kReportedFileCount; i < kMapFileCount; ++i) {
        if (kMapFileNames[i] != kLuaScriptName) {
            EXPECT_EQ(ReadMember(run.TargetPath, std::string(kMapFileNames[i])), newObjects)
                << kMapFileNames[i];
        }
    }
    for (const Kestmarlapi::MemberSpec& member : members) {
        if (member.name.starts_with("war3map.wt") && member.name != "war3map.wts") {
            EXPECT_EQ(ReadMember(run.TargetPath, member.name), member.data) << member.name;
        }
    }
}

// A map shaped like those the current editor saves: 3,000 strings named by the skin object
// data, 50 by the eight members. Every string whose reference was replaced leaves the table;
// only those too long to be inlined (every hundredth) stay.
TEST(InlineStringsRun, ModernMapKeepsOnlyTheStringsLeftInPlace) {
    std::vector<std::pair<int, std::string>> strings;
    std::vector<std::pair<int, std::string>> tooLong;
    std::string skinUnits, units;
    for (int id = 1; id <= 3050; ++id) {
        strings.emplace_back(id, "Name " + std::to_string(id));
        if (id % 100 == 0)
            tooLong.emplace_back(id, strings.back().second = std::string(1100, 'x'));
        (id <= 3000 ? skinUnits : units) += "unamTRIGSTR_" + std::to_string(id) + '\0';
    }
    ScratchDir dir;
    RecordingProcessor run;
    run.SourcePath = MakeMap(dir, "modern.w3x",
                             {{"war3map.wts", MakeTable(strings)},
                              {"war3map.w3u", units},
                              {"war3mapSkin.w3u", skinUnits}});
    run.TargetPath = run.SourcePath;
    run.noCompact = true;
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_NE(run.Transcript().find("     Removed 3020 strings (30 strings retained)\n"),
              std::string::npos);
    EXPECT_EQ(ReadMember(run.TargetPath, "war3map.wts"), MakeTable(tooLong));
}

} // namespace
} // namespace parlune::test
