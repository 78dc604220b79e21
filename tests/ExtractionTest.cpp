// Extraction of the string table and the eight rewritten members from real maps, compared
// as whole log transcripts. The tables here hold no strings, so every run ends right after
// parsing and the transcripts show extraction and loading alone.

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace parlune::test {
namespace {

const std::string kNoStrings = "\xEF\xBB\xBF// no strings yet\r\n";

// The lines of loading and parsing a table of so many lines without strings.
std::string emptyTableLines(int lines) {
    return "Loading war3map.wts...\n     " + std::to_string(lines) +
           " lines loaded\nParsing war3map.wts...\n     0 strings found\nNo strings to inline\n";
}

const std::string kTableLines = emptyTableLines(1);

std::string bytesOf(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 31 % 253);
    return bytes;
}

struct ExtractionCase {
    const char* name;
    Members members;
    std::string transcript;
};

class Extraction : public testing::TestWithParam<ExtractionCase> {};

TEST_P(Extraction, LogsEveryMember) {
    ScratchDir dir;
    RecordingProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", GetParam().members);
    run.TargetPath = dir.File("out.w3x");
    EXPECT_EQ(run.RunCatching(), "");
    EXPECT_EQ(run.Transcript(), GetParam().transcript);
    EXPECT_EQ(run.controlSwitches, (std::vector<bool>{false, true}));
    EXPECT_FALSE(std::filesystem::exists(run.TargetPath));
}

INSTANTIATE_TEST_SUITE_P(
    Maps, Extraction,
    testing::Values(ExtractionCase{"EveryMemberPresent",
                                   {{"war3map.wts", kNoStrings},
                                    {"war3map.j", "script"},
                                    {"war3map.w3a", "a"},
                                    {"war3map.w3h", ""},
                                    {"war3map.w3i", "iiii"},
                                    {"war3map.w3q", "qq"},
                                    {"war3map.w3t", "ttt"},
                                    {"war3map.w3u", "uuuuu"},
                                    {"war3mapSkin.txt", "[Skin]"}},
                                   "Extracting files from map...\n"
                                   "     Extracted war3map.wts (22 bytes)\n"
                                   "     Extracted war3map.j (6 bytes)\n"
                                   "     Extracted war3map.w3a (1 bytes)\n"
                                   "     Extracted war3map.w3h (0 bytes)\n"
                                   "     Extracted war3map.w3i (4 bytes)\n"
                                   "     Extracted war3map.w3q (2 bytes)\n"
                                   "     Extracted war3map.w3t (3 bytes)\n"
                                   "     Extracted war3map.w3u (5 bytes)\n"
                                   "     Extracted war3mapSkin.txt (6 bytes)\n" +
                                       kTableLines},
                    ExtractionCase{"OnlyTheTable",
                                   {{"war3map.wts", kNoStrings}, {"war3map.doo", "doodads"}},
                                   "Extracting files from map...\n"
                                   "     Extracted war3map.wts (22 bytes)\n" +
                                       kNoMembersLines + kTableLines},
                    ExtractionCase{"ScriptInScriptsFolder",
                                   {{"war3map.wts", kNoStrings},
                                    {"Scripts\\war3map.j", "folder script"},
                                    {"war3map.w3u", "u"}},
                                   "Extracting files from map...\n"
                                   "     Extracted war3map.wts (22 bytes)\n"
                                   "     Extracted Scripts\\war3map.j (13 bytes)\n"
                                   "     war3map.w3a not found inside map\n"
                                   "     war3map.w3h not found inside map\n"
                                   "     war3map.w3i not found inside map\n"
                                   "     war3map.w3q not found inside map\n"
                                   "     war3map.w3t not found inside map\n"
                                   "     Extracted war3map.w3u (1 bytes)\n"
                                   "     war3mapSkin.txt not found inside map\n" +
                                       kTableLines},
                    ExtractionCase{"BlockSizedMembers",
                                   {{"war3map.wts", kNoStrings},
                                    {"war3map.w3a", bytesOf(65536)},
                                    {"war3map.w3h", bytesOf(65537)},
                                    {"war3map.w3i", bytesOf(131072)}},
                                   "Extracting files from map...\n"
                                   "     Extracted war3map.wts (22 bytes)\n"
                                   "     war3map.j not found inside map\n"
                                   "     Extracted war3map.w3a (65536 bytes)\n"
                                   "     Extracted war3map.w3h (65537 bytes)\n"
                                   "     Extracted war3map.w3i (131072 bytes)\n"
                                   "     war3map.w3q not found inside map\n"
                                   "     war3map.w3t not found inside map\n"
                                   "     war3map.w3u not found inside map\n"
                                   "     war3mapSkin.txt not found inside map\n" +
                                       kTableLines},
                    // A table without strings ends the run whether it is empty, holds only the
                    // byte-order mark or only empty lines.
                    ExtractionCase{"EmptyTable",
                                   {{"war3map.wts", ""}},
                                   "Extracting files from map...\n"
                                   "     Extracted war3map.wts (0 bytes)\n" +
                                       kNoMembersLines + emptyTableLines(0)},
                    ExtractionCase{"OnlyTheMark",
                                   {{"war3map.wts", "\xEF\xBB\xBF"}},
                                   "Extracting files from map...\n"
                                   "     Extracted war3map.wts (3 bytes)\n" +
                                       kNoMembersLines + emptyTableLines(1)},
                    ExtractionCase{"OnlyEmptyLines",
                                   {{"war3map.wts", "\r\n\r\n"}},
                                   "Extracting files from map...\n"
                                   "     Extracted war3map.wts (4 bytes)\n" +
                                       kNoMembersLines + emptyTableLines(2)}),
    [](const testing::TestParamInfo<ExtractionCase>& info) { return info.param.name; });

TEST(ExtractionContents, MembersArriveByteForByte) {
    ScratchDir dir;
    RecordingProcessor run;
    const std::string exact = bytesOf(65536);
    const std::string longer = bytesOf(65537);
    run.SourcePath = MakeMap(dir, "map.w3x",
                             {{"war3map.wts", kNoStrings},
                              {"war3map.w3a", exact},
                              {"war3map.w3h", longer},
                              {"war3mapSkin.txt", std::string("\xFF\x00\x80", 3)}});
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_EQ(run.StringTableData, kNoStrings);
    EXPECT_EQ(run.MapFiles[1].Data, exact);
    EXPECT_EQ(run.MapFiles[2].Data, longer);
    EXPECT_EQ(run.MapFiles[7].Data, std::string("\xFF\x00\x80", 3));
    EXPECT_FALSE(run.MapFiles[0].Present);
    EXPECT_TRUE(run.MapFiles[1].Present);
}

TEST(ExtractionContents, TheRootScriptWinsOverTheScriptsFolder) {
    ScratchDir dir;
    RecordingProcessor run;
    run.SourcePath = MakeMap(
        dir, "map.w3x",
        {{"war3map.wts", kNoStrings}, {"Scripts\\war3map.j", "folder"}, {"war3map.j", "root"}});
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_EQ(run.MapFiles[0].Data, "root");
    EXPECT_FALSE(run.ScriptInScriptsFolder);
    EXPECT_EQ(run.log[2], "     Extracted war3map.j (4 bytes)");
}

TEST(ExtractionContents, ANewRunForgetsTheLastOne) {
    ScratchDir dir;
    RecordingProcessor run;
    run.SourcePath =
        MakeMap(dir, "first.w3x", {{"war3map.wts", kNoStrings}, {"Scripts\\war3map.j", "a"}});
    ASSERT_EQ(run.RunCatching(), "");
    ASSERT_TRUE(run.ScriptInScriptsFolder);
    run.SourcePath = MakeMap(dir, "second.w3x", {{"war3map.wts", kNoStrings}});
    run.log.clear();
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_FALSE(run.MapFiles[0].Present);
    EXPECT_EQ(run.log[2], "     war3map.j not found inside map");
}

struct FailureCase {
    const char* name;
    std::string message;
    std::string transcript;
};

// Runs on the file at path and checks the failure and the transcript.
void expectFailure(const std::string& path, const FailureCase& expected) {
    RecordingProcessor run;
    run.SourcePath = path;
    run.TargetPath = path + ".out";
    const std::string before = std::filesystem::exists(path) ? ReadFileBytes(path) : "";
    EXPECT_EQ(run.RunCatching(), expected.message) << expected.name;
    EXPECT_EQ(run.Transcript(), expected.transcript) << expected.name;
    EXPECT_EQ(run.controlSwitches, (std::vector<bool>{false, true})) << expected.name;
    if (std::filesystem::exists(path)) {
        EXPECT_EQ(ReadFileBytes(path), before) << expected.name;
    }
    EXPECT_FALSE(std::filesystem::exists(run.TargetPath)) << expected.name;
}

const std::string kOpening = "Extracting files from map...\n";

TEST(ExtractionFailures, EndTheRunWithTheirMessage) {
    ScratchDir dir;
    const std::string noTable = MakeMap(dir, "notable.w3x", {{"war3map.j", "s"}});
    expectFailure(noTable, {"NoTable", "war3map.wts not found inside map!", kOpening});

    const std::string notAnArchive = dir.File("text.w3x");
    WriteFileBytes(notAnArchive, "This is not a map, only some text.\r\n");
    expectFailure(notAnArchive, {"NotAnArchive", "Error opening map file!", kOpening});

    expectFailure(dir.File("missing.w3x"), {"Missing", "Error opening map file!", kOpening});

    const std::string whole = MakeMap(dir, "whole.w3x", {{"war3map.wts", bytesOf(50000)}});
    const std::string truncated = dir.File("truncated.w3x");
    const std::string bytes = ReadFileBytes(whole);
    WriteFileBytes(truncated, bytes.substr(0, bytes.size() / 2));
    expectFailure(truncated, {"Truncated", "Error opening map file!", kOpening});
}

TEST(ExtractionFailures, DamagedMemberDataIsNotMistakenForAShortMember) {
    ScratchDir dir;
    Kestmarlapi::NewArchiveOptions options;
    options.withListfile = false;
    options.withAttributes = false;
    std::string table = "\xEF\xBB\xBF";
    for (int i = 0; table.size() < 30000; ++i)
        table += "STRING " + std::to_string(i) + "\r\n{\r\nText " + std::to_string(i) + "\r\n}\r\n";
    const std::string map = MakeMap(dir, "corrupt.w3x", {{"war3map.wts", table}}, options);
    std::string bytes = ReadFileBytes(map);
    for (std::size_t i = 512 + 300; i < 512 + 3000; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    WriteFileBytes(map, bytes);
    expectFailure(map, {"Corrupt", "Error reading war3map.wts from map!", kOpening});
}

} // namespace
} // namespace parlune::test
