// Maps with translated string tables, and members the run does not rewrite: a string is inlined
// only where every translation agrees, every translated table loses just what the root table
// loses, and a string that any member names stays.

#include "archive/Kestmarlapi.h"
#include "processing/StringTable.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace parlune::test {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::pair<int, std::string>>;

constexpr std::uint16_t kGerman = 0x407;
constexpr std::uint16_t kFrench = 0x40C;

std::string size(const std::string& bytes) {
    return " (" + std::to_string(bytes.size()) + " bytes)";
}

// The strings of a written table, or of none when the map lacks it.
Strings stringsOf(const std::optional<std::string>& table) {
    Strings strings;
    if (!table)
        return strings;
    LineList lines = SplitTableLines(*table, "table");
    for (const TWTSEntry& entry : ParseTableLines(lines).Entries) {
        std::string text;
        for (const std::string& line : entry.Lines)
            text += (text.empty() ? "" : "\n") + line;
        strings.emplace_back(entry.Id, text);
    }
    return strings;
}

// String 1 agrees everywhere; 2 is translated; 3 is missing in French; 4 is named only by a
// model; 5, 6, 7 and 11 only by members the run does not rewrite; 9 only German has; 10 is
// missing everywhere.
const std::string kRoot = MakeTable({{1, "Footman"},
                                     {2, "Knight"},
                                     {3, "Archer"},
                                     {4, "Unused"},
                                     {5, "Gate"},
                                     {6, "Skin"},
                                     {7, "Hello"},
                                     {11, "Castle"}});
const std::string kGermanTable = MakeTable(
    {{1, "Footman"}, {2, "Ritter"}, {3, "Bogen\nschütze"}, {4, "Unbenutzt"}, {9, "Nur Deutsch"}});
const std::string kFrenchTable = MakeTable({{1, "Footman"}, {2, "Knight"}, {4, "Inutilisé"}});
const std::string kDeDe = MakeTable({{1, "Footman"}, {4, "Unbenutzt"}});
// Named in small and capital letters as a map saved by hand may have it.
const std::string kFrFrName = "_locales\\FRFR.w3mod\\war3map.wts";
const std::string kFrFr = MakeTable({{1, "Footman"}, {2, "Chevalier"}, {3, "Archer"}});
const std::string kEnGb = MakeTable({{1, "Footman"}, {2, "Knight"}, {3, "Archer"}});
const std::string kScript = "call A(\"TRIGSTR_001\")\r\ncall B(\"TRIGSTR_002\")\r\n"
                            "call C(\"TRIGSTR_003\")\r\ncall D(\"TRIGSTR_009\")\r\n"
                            "call E(\"TRIGSTR_010\")\r\n";
const std::string kNewScript = "call A(\"Footman\")\r\ncall B(\"TRIGSTR_002\")\r\n"
                               "call C(\"TRIGSTR_003\")\r\ncall D(\"TRIGSTR_009\")\r\n"
                               "call E(\"\")\r\n";
const std::string kUnits = "unam TRIGSTR_001\0unam TRIGSTR_002\0"s;
const std::string kNewUnits = "unam Footman\0unam TRIGSTR_002\0"s;

const Members kTranslatedMap = {
    {"war3map.wts", kRoot},
    {"war3map.wts", kGermanTable, Kestmarlapi::MemberStorage::Deflated, kGerman},
    {"war3map.wts", kFrenchTable, Kestmarlapi::MemberStorage::Encrypted, kFrench},
    {"_Locales\\deDE.w3mod\\war3map.wts", kDeDe},
    {kFrFrName, kFrFr},
    {"_Locales\\enGB.w3mod\\war3map.wts", kEnGb},
    {"war3map.j", kScript},
    {"war3map.w3u", kUnits},
    {"war3map.w3u", "unam TRIGSTR_011\0"s, Kestmarlapi::MemberStorage::Deflated, kGerman},
    {"_HD.w3mod\\war3mapSkin.txt", "[Skin]\r\nName=TRIGSTR_006\r\n"},
    {"war3mapImported\\Quests.txt", "TRIGSTR_005"},
    {"war3mapNew.dat", "\x01TRIGSTR_007\0"s},
    {"Units\\Hero.mdx", "MDLX TRIGSTR_004"},
};

const std::string kTranslatedTranscript =
    "Extracting files from map...\n"
    "     Extracted war3map.wts" +
    size(kRoot) + "\n     Extracted war3map.wts for locale 0407" + size(kGermanTable) +
    "\n     Extracted war3map.wts for locale 040C" + size(kFrenchTable) +
    "\n     Extracted _Locales\\deDE.w3mod\\war3map.wts" + size(kDeDe) + "\n     Extracted " +
    kFrFrName + size(kFrFr) + "\n     Extracted _Locales\\enGB.w3mod\\war3map.wts" + size(kEnGb) +
    "\n     Extracted war3map.j" + size(kScript) +
    "\n"
    "     war3map.w3a not found inside map\n"
    "     war3map.w3h not found inside map\n"
    "     war3map.w3i not found inside map\n"
    "     war3map.w3q not found inside map\n"
    "     war3map.w3t not found inside map\n"
    "     Extracted war3map.w3u" +
    size(kUnits) +
    "\n"
    "     war3mapSkin.txt not found inside map\n"
    "Loading war3map.wts...\n"
    "     40 lines loaded\n"
    "Parsing war3map.wts...\n"
    "          Found string 1\n"
    "          Found string 2\n"
    "          Found string 3\n"
    "          Found string 4\n"
    "          Found string 5\n"
    "          Found string 6\n"
    "          Found string 7\n"
    "          Found string 11\n"
    "     8 strings found\n"
    "Inlining trigger strings...\n"
    "          Inlined string 1 into war3map.j\n"
    "          Kept string 2 for translations\n"
    "          Kept string 3 for translations\n"
    "          Kept string 9 for translations\n"
    "          Removed reference to non-existant string 10 in war3map.j\n"
    "     2 strings inlined into war3map.j\n"
    "     3 references kept for translations in war3map.j\n"
    "          Inlined string 1 into war3map.w3u\n"
    "          Kept string 2 for translations\n"
    "     1 strings inlined into war3map.w3u\n"
    "     1 references kept for translations in war3map.w3u\n"
    "     1 references kept in _HD.w3mod\\war3mapSkin.txt\n"
    "     1 references kept in war3mapImported\\Quests.txt\n"
    "     1 references kept in war3mapNew.dat\n"
    "     1 references kept in war3map.w3u for locale 0407\n"
    "Removing inlined strings from war3map.wts...\n"
    "          Removed string 3\n"
    "          Removed string 0\n"
    "     Removed 2 strings (6 strings retained)\n"
    "Writing new war3map.wts...\n"
    "          Added string 2\n"
    "          Added string 3\n"
    "          Added string 5\n"
    "          Added string 6\n"
    "          Added string 7\n"
    "          Added string 11\n"
    "     Done\n"
    "Writing new map file...\n"
    "     Copied old map file\n"
    "     Added war3map.wts (HIDDEN)\n"
    "     Added war3map.wts for locale 0407 (HIDDEN)\n"
    "     Added war3map.wts for locale 040C (HIDDEN)\n"
    "     Removed _Locales\\deDE.w3mod\\war3map.wts\n"
    "     Added " +
    kFrFrName +
    " (HIDDEN)\n"
    "     Added _Locales\\enGB.w3mod\\war3map.wts (HIDDEN)\n"
    "     Added war3map.j" +
    size(kNewScript) + "\n     Added war3map.w3u" + size(kNewUnits) +
    "\n"
    "     Removed attributes file\n"
    "Compacting new map file...\n"
    "     Done\n"
    "Everything done.\n";

// The transcript without detail lines, or with them, and the sizes of the written tables.
std::string expectedTranscript(const std::string& withDetails, bool verbose,
                               const std::vector<std::string>& tables) {
    std::string transcript;
    std::size_t table = 0;
    for (std::size_t at = 0; at < withDetails.size();) {
        const std::size_t end = withDetails.find('\n', at) + 1;
        std::string line = withDetails.substr(at, end - at);
        at = end;
        if (!verbose && line.starts_with("          "))
            continue;
        if (const std::size_t hidden = line.find("(HIDDEN)"); hidden != std::string::npos)
            line.replace(hidden, 8, size(tables.at(table++)).substr(1));
        transcript += line;
    }
    return transcript;
}

class TranslatedMap : public testing::TestWithParam<bool> {};

TEST_P(TranslatedMap, KeepsEveryTranslation) {
    ScratchDir dir;
    RecordingProcessor run;
    run.verbose = GetParam();
    run.SourcePath = MakeMap(dir, "map.w3x", kTranslatedMap);
    run.TargetPath = dir.File("out.w3x");
    ASSERT_EQ(run.RunCatching(), "");

    const Strings root = {{2, "Knight"}, {3, "Archer"}, {5, "Gate"},
                          {6, "Skin"},   {7, "Hello"},  {11, "Castle"}};
    const Strings german = {{2, "Ritter"}, {3, "Bogen\nschütze"}, {9, "Nur Deutsch"}};
    const Strings french = {{2, "Knight"}};
    const Strings frFr = {{2, "Chevalier"}, {3, "Archer"}};
    const Strings enGb = {{2, "Knight"}, {3, "Archer"}};
    const std::string& out = run.TargetPath;
    EXPECT_EQ(stringsOf(ReadMember(out, "war3map.wts")), root);
    EXPECT_EQ(stringsOf(ReadMember(out, "war3map.wts", kGerman)), german);
    EXPECT_EQ(stringsOf(ReadMember(out, "war3map.wts", kFrench)), french);
    EXPECT_EQ(ReadMember(out, "_Locales\\deDE.w3mod\\war3map.wts"), std::nullopt);
    EXPECT_EQ(stringsOf(ReadMember(out, kFrFrName)), frFr);
    EXPECT_EQ(stringsOf(ReadMember(out, "_Locales\\enGB.w3mod\\war3map.wts")), enGb);
    EXPECT_EQ(ReadMember(out, "war3map.j"), kNewScript);
    EXPECT_EQ(ReadMember(out, "war3map.w3u"), kNewUnits);
    EXPECT_EQ(ReadMember(out, "war3map.w3u", kGerman), "unam TRIGSTR_011\0"s);

    // Each translated table is written back in the locale it had, and only there.
    const auto archive = Kestmarlapi::SFileOpenArchive(out);
    ASSERT_TRUE(archive);
    EXPECT_EQ(Kestmarlapi::MemberLocales(*archive, "war3map.wts"),
              (std::vector<std::uint16_t>{kGerman, kFrench}));
    EXPECT_EQ(Kestmarlapi::MemberLocales(*archive, "war3map.w3u"),
              std::vector<std::uint16_t>{kGerman});

    const std::vector<std::string> written = {MakeTable(root), MakeTable(german), MakeTable(french),
                                              MakeTable(frFr), MakeTable(enGb)};
    EXPECT_EQ(run.Transcript(), expectedTranscript(kTranslatedTranscript, run.verbose, written));
}

INSTANTIATE_TEST_SUITE_P(DebugOutput, TranslatedMap, testing::Bool());

Kestmarlapi::NewArchiveOptions withoutListfile() {
    Kestmarlapi::NewArchiveOptions options;
    options.withListfile = false;
    return options;
}

// A translated table that cannot be parsed may hold anything: every reference stays, and the
// table stays in the map as it was. Without "(listfile)" the tables are found all the same.
TEST(UnreadableTranslation, KeepsEveryReferenceAndTheTable) {
    ScratchDir dir;
    RecordingProcessor run;
    const std::string root = MakeTable({{1, "Footman"}, {2, "Knight"}});
    const std::string unclosed = MakeTable({{1, "Footman"}}) + "STRING 2\r\n{\r\nRitter\r\n";
    const std::string deDe = MakeTable({{1, "Footman"}, {2, "Knight"}});
    run.SourcePath =
        MakeMap(dir, "map.w3x",
                {{"war3map.wts", root},
                 {"war3map.wts", unclosed, Kestmarlapi::MemberStorage::Deflated, kGerman},
                 {"_Locales\\deDE.w3mod\\war3map.wts", deDe},
                 {"war3map.w3u", "TRIGSTR_001\0TRIGSTR_002\0TRIGSTR_003\0"s}},
                withoutListfile());
    run.TargetPath = run.SourcePath;
    run.noCompact = true;
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_EQ(run.Transcript(),
              "Extracting files from map...\n"
              "     Extracted war3map.wts" +
                  size(root) + "\n     Extracted war3map.wts for locale 0407" + size(unclosed) +
                  "\n     war3map.wts for locale 0407 cannot be read; its strings are kept\n"
                  "     Extracted _Locales\\deDE.w3mod\\war3map.wts" +
                  size(deDe) +
                  "\n"
                  "     war3map.j not found inside map\n"
                  "     war3map.w3a not found inside map\n"
                  "     war3map.w3h not found inside map\n"
                  "     war3map.w3i not found inside map\n"
                  "     war3map.w3q not found inside map\n"
                  "     war3map.w3t not found inside map\n"
                  "     Extracted war3map.w3u (36 bytes)\n"
                  "     war3mapSkin.txt not found inside map\n"
                  "Loading war3map.wts...\n"
                  "     10 lines loaded\n"
                  "Parsing war3map.wts...\n"
                  "     2 strings found\n"
                  "Inlining trigger strings...\n"
                  "     0 strings inlined into war3map.w3u\n"
                  "     3 references kept for translations in war3map.w3u\n"
                  "Removing inlined strings from war3map.wts...\n"
                  "     Removed 0 strings (2 strings retained)\n"
                  "Writing new war3map.wts...\n"
                  "     Done\n"
                  "Writing new map file...\n"
                  "     Added war3map.wts" +
                  size(root) + "\n     Added _Locales\\deDE.w3mod\\war3map.wts" + size(deDe) +
                  "\n     Added war3map.w3u (36 bytes)\n"
                  "     Removed attributes file\n"
                  "Everything done.\n");
    EXPECT_EQ(ReadMember(run.TargetPath, "war3map.wts", kGerman), unclosed);
}

// A NUL byte would hide the strings behind it, from the run and from the game alike.
struct DamagedCase {
    const char* name;
    Members members;
    std::string message;
};

class DamagedTable : public testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedTable, FailsBeforeAnythingIsWritten) {
    ScratchDir dir;
    RecordingProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", GetParam().members);
    run.TargetPath = dir.File("out.w3x");
    const std::string before = ReadFileBytes(run.SourcePath);
    EXPECT_EQ(run.RunCatching(), GetParam().message);
    EXPECT_EQ(ReadFileBytes(run.SourcePath), before);
    EXPECT_FALSE(std::filesystem::exists(run.TargetPath));
}

const std::string kTwoStrings = MakeTable({{1, "Footman"}, {2, "Knight"}});
const std::string kNulInside = kTwoStrings.substr(0, 24) + '\0' + kTwoStrings.substr(24);

INSTANTIATE_TEST_SUITE_P(
    Tables, DamagedTable,
    testing::Values(
        DamagedCase{"Root",
                    {{"war3map.wts", kNulInside}, {"war3map.w3u", "TRIGSTR_002"}},
                    "war3map.wts is damaged: NUL byte at byte 24"},
        DamagedCase{"LocaleEntry",
                    {{"war3map.wts", kTwoStrings},
                     {"war3map.wts", kNulInside, Kestmarlapi::MemberStorage::Deflated, kFrench},
                     {"war3map.w3u", "TRIGSTR_002"}},
                    "war3map.wts for locale 040C is damaged: NUL byte at byte 24"},
        DamagedCase{"LocaleFolder",
                    {{"war3map.wts", kTwoStrings},
                     {"_Locales\\zhCN.w3mod\\war3map.wts", kNulInside},
                     {"war3map.w3u", "TRIGSTR_002"}},
                    "_Locales\\zhCN.w3mod\\war3map.wts is damaged: NUL byte at byte 24"}),
    [](const testing::TestParamInfo<DamagedCase>& info) { return info.param.name; });

} // namespace
} // namespace parlune::test
