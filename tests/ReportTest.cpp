// parlune-cli in a build pipeline: the JSON report, compared whole once parsed and checked
// against docs/report.schema.json; the dry run; --check; many maps at once.

#include "platform/Utf8Path.h"
#include "tests/support/CliRunner.h"
#include "tests/support/WriterFixtures.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace parlune::test {
namespace {

using json = nlohmann::json;
using namespace std::string_literals;

// Every report a test reads is checked against the schema that the docs ship.
void expectValid(const std::string& reportPath) {
#ifdef PARLUNE_PYTHON3_PATH
    const std::string command = PARLUNE_PYTHON3_PATH
                                " -c \"import json, sys, jsonschema; "
                                "schema = json.load(open(sys.argv[1])); "
                                "reports = json.load(open(sys.argv[2])); "
                                "[jsonschema.validate(r, schema) for r in "
                                "(reports if isinstance(reports, list) else [reports])]\" '" +
                                std::string(PARLUNE_REPORT_SCHEMA) + "' '" + reportPath + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << reportPath;
#else
    (void)reportPath;
#endif
}

json readReport(const std::string& path) {
    expectValid(path);
    json report = json::parse(ReadFileBytes(path));
    // The time a run takes differs from run to run.
    if (!report.is_array())
        report.erase("seconds");
    else
        for (json& one : report)
            one.erase("seconds");
    return report;
}

json keptCounts(int tooLong, int markerText, int translations) {
    return {{"too_long", tooLong},          {"multi_line_skin", 0}, {"marker_text", markerText},
            {"translations", translations}, {"outside_literal", 0}, {"script_unchanged", 0}};
}

// A string inlined (1), one too long (2), one translated (3), one holding a marker (4), one
// nobody names (5), and a reference to a string the table lacks (9).
const std::string kLongText(1100, 'x');
const Members kPipelineMap = {
    {"war3map.wts",
     MakeTable(
         {{1, "Footman"}, {2, kLongText}, {3, "Knight"}, {4, "see TRIGSTR_001"}, {5, "Unused"}})},
    {"war3map.wts",
     MakeTable({{1, "Footman"}, {2, kLongText}, {3, "Ritter"}, {4, "see TRIGSTR_001"}}),
     Kestmarlapi::MemberStorage::Deflated, 0x407},
    {"war3map.w3u", "TRIGSTR_001\0TRIGSTR_002\0TRIGSTR_003\0TRIGSTR_004\0TRIGSTR_009\0"s},
    {"war3mapImported\\Notes.txt", "TRIGSTR_003"},
};

json sizeOf(const std::string& path) {
    return std::filesystem::file_size(PathFromUtf8(path));
}

json pipelineReport(const std::string& source, const json& target) {
    return {{"program", "parlune 1.0.2"},
            {"schema", 1},
            {"source", source},
            {"target", target},
            {"outcome", "done"},
            {"error", nullptr},
            {"strings", {{"before", 5}, {"after", 3}}},
            {"members", {{{"name", "war3map.w3u"}, {"inlined", 2}, {"kept", keptCounts(1, 1, 1)}}}},
            {"scanned", {{{"name", "war3mapImported\\Notes.txt"}, {"references", 1}}}},
            {"missing", {{{"member", "war3map.w3u"}, {"offset", 48}, {"number", 9}}}},
            {"unused", {5}},
            {"over_limit", {{{"number", 2}, {"bytes", 1100}}}},
            {"bytes",
             {{"source", sizeOf(source)},
              {"target", target.is_null() ? json(nullptr) : sizeOf(target.get<std::string>())}}}};
}

TEST(Report, TellsWhatTheRunDidAndWhatItFound) {
    ScratchDir dir;
    const std::string source = MakeMap(dir, "map.w3x", kPipelineMap);
    const std::string target = dir.File("out.w3x");
    const CliResult run = RunCli({"--check", "--report", dir.File("r.json"), source, target}, dir);
    EXPECT_EQ(run.exitCode, 3); // a reference names no string, and a text is too long
    EXPECT_EQ(readReport(dir.File("r.json")), pipelineReport(source, target));

    // A dry run: the same report but for the target, which stays as it was.
    WriteFileBytes(target, "an older map");
    const CliResult dry = RunCli({"--dry-run", "--report", "-", source, target}, dir);
    EXPECT_EQ(dry.exitCode, 0);
    EXPECT_EQ(ReadFileBytes(target), "an older map");
    EXPECT_TRUE(dry.err.ends_with("     Done\nDry run: nothing written\n")) << dry.err;
    WriteFileBytes(dir.File("dry.json"), dry.out);
    EXPECT_EQ(readReport(dir.File("dry.json")), pipelineReport(source, nullptr));
    EXPECT_EQ(RunCli({"--dry-run", source}, dir).exitCode, 0);
    EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"cli.err", "cli.out", "dry.json",
                                                                "map.w3x", "out.w3x", "r.json"}));
}

TEST(Report, TellsWhyARunFailed) {
    ScratchDir dir;
    const std::string notAMap = dir.File("notes.w3x");
    WriteFileBytes(notAMap, "just text");
    const struct {
        std::vector<std::string> options;
        int exitCode;
    } runs[] = {{{}, 1}, {{"--check"}, 1}};
    for (const auto& [options, exitCode] : runs) {
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {"--report", dir.File("r.json"), notAMap, dir.File("o")});
        EXPECT_EQ(RunCli(arguments, dir).exitCode, exitCode);
        const json expected = {{"program", "parlune 1.0.2"},
                               {"schema", 1},
                               {"source", notAMap},
                               {"target", dir.File("o")},
                               {"outcome", "failed"},
                               {"error", "Error opening map file! (" + notAMap +
                                             ": not a map archive, or a damaged one)"},
                               {"strings", {{"before", nullptr}, {"after", nullptr}}},
                               {"members", json::array()},
                               {"scanned", json::array()},
                               {"missing", json::array()},
                               {"unused", json::array()},
                               {"over_limit", json::array()},
                               {"bytes", {{"source", 9}, {"target", nullptr}}}};
        EXPECT_EQ(readReport(dir.File("r.json")), expected);
    }
    // A clean map passes the check.
    const std::string clean = MakeMap(
        dir, "clean.w3x", {{"war3map.wts", MakeTable({{1, "A"}})}, {"war3map.w3u", "TRIGSTR_1"}});
    EXPECT_EQ(RunCli({"--check", clean, dir.File("clean-out.w3x")}, dir).exitCode, 0);
}

// Twenty maps, one of them damaged, two at a time: every other map is written, each log comes
// as one block with the map's name in front of each line, and a last line counts them.
TEST(ManyMaps, GoOnPastAFailedMap) {
    ScratchDir dir;
    std::vector<std::string> arguments = {
        "-j", "2", "--report", dir.File("r.json"), "--out-dir", dir.File("out")};
    std::filesystem::create_directory(PathFromUtf8(dir.File("out")));
    for (int i = 0; i < 20; ++i) {
        const std::string name = "map" + std::to_string(i) + ".w3x";
        const std::string path = MakeMap(dir, name, kPipelineMap);
        if (i == 7)
            WriteFileBytes(path, ReadFileBytes(path).substr(0, 600)); // cut short
        arguments.push_back(path);
    }
    const CliResult run = RunCli(arguments, dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(FolderEntries(PathFromUtf8(dir.File("out"))).size(), 19u);
    EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(dir.File("out/map7.w3x"))));
    EXPECT_TRUE(run.err.starts_with("map7.w3x: Error opening map file! (")) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::string previous;
    int blocks = 0;
    while (std::getline(lines, line) && line.starts_with("map")) {
        const std::string name = line.substr(0, line.find(": "));
        blocks += name != previous;
        previous = name;
    }
    EXPECT_EQ(blocks, 20); // no map's lines between another's
    EXPECT_EQ(line, "19 maps done, 1 failed");
    const json reports = readReport(dir.File("r.json"));
    ASSERT_EQ(reports.size(), 20u);
    EXPECT_EQ(reports[7]["outcome"], "failed");
    EXPECT_EQ(reports[8], pipelineReport(dir.File("map8.w3x"),
                                         Utf8FromPath(PathFromUtf8(dir.File("out")) / "map8.w3x")));
}

} // namespace
} // namespace parlune::test
