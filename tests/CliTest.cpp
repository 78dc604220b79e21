// parlune-cli: the same transcript as the processing class, failures on stderr, exit codes.

#include "Version.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace parlune::test {
namespace {

struct CliResult {
    int exitCode;
    std::string out;
    std::string err;
};

CliResult runCli(const ScratchDir& dir, const std::string& arguments) {
    const std::string out = dir.File("cli.out");
    const std::string err = dir.File("cli.err");
    const std::string command =
        std::string(PARLUNE_CLI_PATH) + " " + arguments + " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(out), ReadFileBytes(err)};
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

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

        const CliResult cli = runCli(dir, std::string(debug ? "--debug " : "") + quoted(source) +
                                              " " + quoted(dir.File("by-cli.w3x")));
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
    const CliResult compacted = runCli(dir, quoted(source) + " " + quoted(dir.File("a.w3x")));
    const CliResult uncompacted =
        runCli(dir, "--no-compact " + quoted(source) + " " + quoted(dir.File("b.w3x")));
    EXPECT_NE(compacted.out.find("Compacting new map file...\n"), std::string::npos);
    EXPECT_EQ(uncompacted.out.find("Compacting"), std::string::npos);
    EXPECT_EQ(uncompacted.exitCode, 0);
}

TEST(Cli, AFailureGoesToStderrWithExitCodeOne) {
    ScratchDir dir;
    const std::string notAMap = dir.File("notes.w3x");
    WriteFileBytes(notAMap, "just text");
    const CliResult notAnArchive = runCli(dir, quoted(notAMap) + " " + quoted(dir.File("o.w3x")));
    EXPECT_EQ(notAnArchive.exitCode, 1);
    EXPECT_EQ(notAnArchive.out, "Extracting files from map...\n");
    EXPECT_EQ(notAnArchive.err, "Error opening map file!\n");

    // A message that ends in a letter gets its closing period.
    const std::string badNumber =
        MakeMap(dir, "bad.w3x", {{"war3map.wts", "\xEF\xBB\xBFSTRING 1 \r\n{\r\n}\r\n"}});
    const CliResult invalid = runCli(dir, quoted(badNumber) + " " + quoted(dir.File("o.w3x")));
    EXPECT_EQ(invalid.exitCode, 1);
    EXPECT_EQ(invalid.err, "'1 ' ist kein gültiger Integerwert.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("o.w3x")));
}

TEST(Cli, ArgumentsAreChecked) {
    ScratchDir dir;
    const std::string usage = "usage: parlune-cli [--debug] [--no-compact] SOURCE TARGET\n";
    for (const char* arguments :
         {"", "only-one.w3x", "a.w3x b.w3x c.w3x", "--fast a.w3x b.w3x", "--debug", "'' b.w3x"}) {
        const CliResult result = runCli(dir, arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments;
        EXPECT_EQ(result.err, usage) << arguments;
        EXPECT_EQ(result.out, "") << arguments;
    }
    const CliResult help = runCli(dir, "--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with(usage));
    EXPECT_NE(help.out.find("--no-compact"), std::string::npos);
    const CliResult version = runCli(dir, "--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "parlune-cli " + std::string(kVersion) + "\n");
}

} // namespace
} // namespace parlune::test
