// parlune-cli: the same transcript as the processing class, failures on stderr, exit codes.

#include "Version.h"
#include "cli/Options.h"
#include "platform/Utf8Path.h"
#include "tests/support/CliRunner.h"

#include <gtest/gtest.h>

namespace parlune::test {
namespace {

Members mapWithStrings() {
    return {{"war3map.wts", MakeTable({{1, "Footman"}, {2, "Say \"hi\""}, {3, "unused"}})},
            {"war3map.j", "call DisplayText(\"TRIGSTR_002\")\r\n"},
            {"war3map.w3u", std::string("unam\0TRIGSTR_001\0", 17)}};
}

TEST(Cli, PrintsTheSameTranscriptAsTheProcessor) {
    for (const bool debug : {false, true}) {
        ScratchDir dir;
        const std::string source = MakeMap(dir, "source.w3x", mapWithStrings());
        RecordingProcessor processor;
        processor.verbose = debug;
        processor.SourcePath = source;
        processor.TargetPath = dir.File("by-class.w3x");
        ASSERT_EQ(processor.RunCatching(), "");

        std::vector<std::string> arguments = {source, dir.File("by-cli.w3x")};
        if (debug)
            arguments.insert(arguments.begin(), "--debug");
        const CliResult cli = RunCli(arguments, dir);
        EXPECT_EQ(cli.exitCode, 0);
        EXPECT_EQ(cli.out, processor.Transcript());
        EXPECT_EQ(cli.err, "");
        EXPECT_EQ(ReadMember(dir.File("by-cli.w3x"), "war3map.j"),
                  ReadMember(dir.File("by-class.w3x"), "war3map.j"));
    }
}

TEST(Cli, NoCompactSkipsTheCompaction) {
    ScratchDir dir;
    const std::string source = MakeMap(dir, "source.w3x", mapWithStrings());
    const CliResult compacted = RunCli({source, dir.File("a.w3x")}, dir);
    const CliResult uncompacted = RunCli({"--no-compact", source, dir.File("b.w3x")}, dir);
    EXPECT_NE(compacted.out.find("Compacting new map file...\n"), std::string::npos);
    EXPECT_EQ(uncompacted.out.find("Compacting"), std::string::npos);
    EXPECT_EQ(uncompacted.exitCode, 0);
}

// A failure from the file system or the archive library says after the message which file it
// is about and the system's reason, as the system words it.
TEST(Cli, AFailureGoesToStderrWithExitCodeOne) {
    ScratchDir dir;
    const std::string notAMap = dir.File("notes.w3x");
    WriteFileBytes(notAMap, "just text");
    const std::string source = MakeMap(dir, "map.w3x", mapWithStrings());
    const struct {
        std::vector<std::string> arguments;
        std::string message;
        std::string detail;
    } cases[] = {
        {{notAMap, dir.File("o.w3x")},
         "Error opening map file!",
         notAMap + ": not a map archive, or a damaged one"},
        {{dir.File("none.w3x"), dir.File("o.w3x")},
         "Error opening map file!",
         dir.File("none.w3x") + ": No such file or directory"},
        {{source, dir.File("missing/o.w3x")},
         "Error copying map file!",
         dir.File("missing/o.w3x") + ": No such file or directory"},
    };
    for (const auto& [arguments, message, detail] : cases) {
        const CliResult failed = RunCli(arguments, dir);
        EXPECT_EQ(failed.exitCode, 1);
#ifdef _WIN32
        // Windows words its reasons in its own way.
        EXPECT_TRUE(
            failed.err.starts_with(message + " (" + detail.substr(0, detail.find(": ") + 2)))
            << failed.err;
#else
        EXPECT_EQ(failed.err, message + " (" + detail + ")\n");
#endif
    }
    EXPECT_EQ(RunCli({notAMap, dir.File("o.w3x")}, dir).out, "Extracting files from map...\n");

    // A message that ends in a letter gets its closing period.
    const std::string badNumber =
        MakeMap(dir, "bad.w3x", {{"war3map.wts", "\xEF\xBB\xBFSTRING 1 \r\n{\r\n}\r\n"}});
    const CliResult invalid = RunCli({badNumber, dir.File("o.w3x")}, dir);
    EXPECT_EQ(invalid.exitCode, 1);
    EXPECT_EQ(invalid.err, "'1 ' ist kein gültiger Integerwert.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("o.w3x")));
}

TEST(Cli, ArgumentsAreChecked) {
    ScratchDir dir;
    const std::string usage = kUsage;
    const std::vector<std::vector<std::string>> wrongArguments = {
        {},
        {"only-one.w3x"},
        {"a.w3x", "b.w3x", "c.w3x"},
        {"--fast", "a.w3x", "b.w3x"},
        {"--debug"},
        {"", "b.w3x"},
        {"--report", "a.w3x", "b.w3x"},
        {"-j", "2", "a.w3x", "b.w3x"},
        {"-j", "0", "--out-dir", "out", "a.w3x"},
        {"--out-dir", "out"}};
    for (const std::vector<std::string>& arguments : wrongArguments) {
        const CliResult result = RunCli(arguments, dir);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(arguments);
        EXPECT_EQ(result.err, usage) << testing::PrintToString(arguments);
        EXPECT_EQ(result.out, "") << testing::PrintToString(arguments);
    }
    const CliResult help = RunCli({"--help"}, dir);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with(usage));
    EXPECT_NE(help.out.find("--no-compact"), std::string::npos);
    const CliResult version = RunCli({"--version"}, dir);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "parlune-cli " + std::string(kVersion) + "\n");
}

// Names in other scripts reach the program intact, as UTF-16 on Windows, and name the files.
TEST(Cli, TakesMapsWithNamesInAnyScript) {
    ScratchDir dir;
    std::filesystem::create_directory(PathFromUtf8(dir.File("Карты 地图")));
    const std::string source = MakeMap(dir, "Карты 地图/지도 Ωмега.w3x", mapWithStrings());
    const std::string target = dir.File("Карты 地图/新しい 지도.w3x");
    const CliResult cli = RunCli({source, target}, dir);
    EXPECT_EQ(cli.exitCode, 0);
    EXPECT_EQ(cli.err, "");
    EXPECT_TRUE(cli.out.ends_with("\nEverything done.\n"));
    EXPECT_EQ(ReadMember(target, "war3map.j"), "call DisplayText(\"Say \\\"hi\\\"\")\r\n");
}

} // namespace
} // namespace parlune::test
