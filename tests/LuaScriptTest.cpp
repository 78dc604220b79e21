// The Lua script, judged by Lua 5.3 itself: after inlining, the script still compiles, every
// literal that took a text reads back as the string's lines joined by CR LF, byte for byte,
// and every marker outside a short literal stays as it was, its string kept.

#include "processing/ProcessingError.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <sys/wait.h>

namespace parlune::test {
namespace {

using namespace std::string_literals;

struct LiteralCase {
    const char* what;
    std::string source; // the literal as the script writes it; %s stands for the marker
    LineList lines;
    bool inlined;
};

std::string allBytes() {
    std::string bytes;
    for (int byte = 0; byte < 256; ++byte)
        bytes += static_cast<char>(byte);
    return bytes;
}

const std::vector<LiteralCase> kLiterals = {
    {"every byte value", "\"%s\"", {allBytes()}, true},
    {"every byte value in single quotes", "'%s'", {allBytes()}, true},
    {"quotes and backslashes", "'%s'", {"Say \"hi\", it's C:\\maps\\"}, true},
    {"line ends and a lone CR", "\"%s\"", {"a\rb\nc\r", "\r\n"}, true},
    {"digits after control bytes",
     "\"%s\"",
     {"\x01"s
      "2\x1F"
      "99\x7F"
      "0\0"
      "7"s},
     true},
    {"UTF-8", "\"%s\"", {"Grüße, 你好, Привет, こんにちは, مرحبا"}, true},
    {"several lines", "'<%s>'", {"first \"line\"", "second 'line'", ""}, true},
    {"an empty string", "\"[%s]\"", {}, true},
    {"just under the limit escaped", "\"%s\"", {std::string(255, '\x01') + "abc"}, true},
    {"at the limit escaped", "\"%s\"", {std::string(255, '\x01') + "abcd"}, false},
    {"quotes just under the limit", "\"%s\"", {std::string(511, '"') + "x"}, true},
    {"backslashes at the limit", "'%s'", {std::string(512, '\\')}, false},
    {"digit after a short decimal escape", "\"\\1%s\"", {"5 gold"}, false},
    {"after a full decimal escape", "\"\\001%s\"", {"5 gold"}, true},
    {"space after \\z", "\"a\\z  %s\"", {" lead"}, false},
    {"beside a marker without a number", "\"TRIGSTR_ %s\"", {"x"}, false},
    {"after a line continuation", "\"a\\\n%s\"", {"7"}, true},
};

// Written outside short literals: comments, long strings of several levels and bare code.
const std::string kOutsideLiterals = "-- \"TRIGSTR_900\" in a line comment\n"
                                     "--[==[ TRIGSTR_901 in a long comment ]==]\n"
                                     "local long = [[TRIGSTR_902]] .. [=[\"TRIGSTR_903\"]=]\n"
                                     "local bare = TRIGSTR_904\n";

std::string markerOf(std::size_t i) {
    return "TRIGSTR_" + std::to_string(100 + i);
}

std::string scriptOf(const std::vector<LiteralCase>& literals) {
    std::string script = "local values = {\n";
    for (std::size_t i = 0; i < literals.size(); ++i) {
        std::string literal = literals[i].source;
        literal.replace(literal.find("%s"), 2, markerOf(i));
        script += "  " + literal + ",\n";
    }
    return script + "}\n" + kOutsideLiterals +
           "for i = 1, #values do\n"
           "  io.write((values[i]:gsub('.', function(c) return ('%02X'):format(c:byte()) end)))\n"
           "  io.write('\\n')\n"
           "end\n";
}

std::string hex(const std::string& bytes) {
    std::string text;
    char digits[3];
    for (const char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(byte));
        text += digits;
    }
    return text;
}

// Runs a program on a script file; its exit code, with what it wrote in out.
int runLua(const char* program, const std::string& script, const ScratchDir& dir,
           std::string& out) {
    WriteFileBytes(dir.File("script.lua"), script);
    const std::string command = std::string(program) + " '" + dir.File("script.lua") + "' >'" +
                                dir.File("out.txt") + "' 2>&1";
    const int status = std::system(command.c_str());
    out = ReadFileBytes(dir.File("out.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LuaScript, LiteralsTakeTheTextsAndEverythingElseStays) {
    ScratchDir dir;
    RecordingProcessor run;
    const std::string script = scriptOf(kLiterals);
    std::string before;
    ASSERT_EQ(runLua(PARLUNE_LUA_PATH, script, dir, before), 0) << before;
    for (std::size_t i = 0; i < kLiterals.size(); ++i)
        run.Entries.push_back({static_cast<std::int32_t>(100 + i), kLiterals[i].lines});
    for (std::int32_t id = 900; id <= 904; ++id)
        run.Entries.push_back({id, {"outside"}});
    MapFileSlot& slot =
        run.MapFiles[std::ranges::find(kMapFileNames, kLuaScriptName) - kMapFileNames.begin()];
    slot = MapFileSlot::Extracted(script);
    run.InlineStrings();
    const std::string written = InlinedData(slot, run.InlinedStrings);

    std::string out;
    ASSERT_EQ(runLua(PARLUNE_LUAC_PATH " -p", written, dir, out), 0) << out;
    ASSERT_EQ(runLua(PARLUNE_LUA_PATH, written, dir, out), 0) << out;
    std::vector<std::int32_t> kept;
    std::string expected;
    std::istringstream originals(before);
    for (std::size_t i = 0; i < kLiterals.size(); ++i) {
        std::string line;
        std::getline(originals, line);
        // The marker's bytes in the value give way to the text's.
        const std::string text = JoinLines(kLiterals[i].lines);
        if (kLiterals[i].inlined)
            line.replace(line.find(hex(markerOf(i))), hex(markerOf(i)).size(),
                         hex(text.substr(0, text.empty() ? 0 : text.size() - 2)));
        else
            kept.push_back(static_cast<std::int32_t>(100 + i));
        expected += line + "\n";
    }
    EXPECT_EQ(out, expected);
    EXPECT_TRUE(written.ends_with(script.substr(script.find(kOutsideLiterals))));
    for (std::int32_t id = 900; id <= 904; ++id)
        kept.push_back(id);
    std::vector<std::int32_t> ids;
    for (const TWTSEntry& entry : run.Entries)
        ids.push_back(entry.Id);
    EXPECT_EQ(ids, kept);
}

// Whole runs over maps whose only member beside the table is the Lua script.
struct LuaRunCase {
    const char* name;
    std::string script;
    std::string written;
    std::string inliningLines; // with the detail lines
    std::vector<std::pair<int, std::string>> kept;
};

const std::vector<std::pair<int, std::string>> kLuaStrings = {
    {1, "Footman"}, {2, "Two\nlines"}, {3, "In a comment"}, {4, "Unused"}};

class LuaRun : public testing::TestWithParam<LuaRunCase> {};

TEST_P(LuaRun, WritesTheWholeTranscript) {
    const LuaRunCase& c = GetParam();
    for (const bool verbose : {true, false}) {
        SCOPED_TRACE(verbose ? "with detail lines" : "without detail lines");
        ScratchDir dir;
        const std::string table = MakeTable(kLuaStrings);
        RecordingProcessor run;
        run.verbose = verbose;
        run.noCompact = true;
        run.SourcePath =
            MakeMap(dir, "lua.w3x", {{"war3map.wts", table}, {"war3map.lua", c.script}});
        run.TargetPath = run.SourcePath;
        ASSERT_EQ(run.RunCatching(), "");
        std::string inlining;
        for (std::size_t at = 0; at < c.inliningLines.size();) {
            const std::size_t end = c.inliningLines.find('\n', at) + 1;
            if (verbose || !c.inliningLines.substr(at).starts_with("          "))
                inlining += c.inliningLines.substr(at, end - at);
            at = end;
        }
        const std::string details = verbose ? "          Found string 1\n"
                                              "          Found string 2\n"
                                              "          Found string 3\n"
                                              "          Found string 4\n"
                                            : "";
        const std::string newTable = c.kept.empty() ? "" : MakeTable(c.kept);
        EXPECT_EQ(run.Transcript(),
                  "Extracting files from map...\n"
                  "     Extracted war3map.wts (" +
                      std::to_string(table.size()) + " bytes)\n" + kNoMembersLines +
                      "     Extracted war3map.lua (" + std::to_string(c.script.size()) +
                      " bytes)\n"
                      "Loading war3map.wts...\n"
                      "     21 lines loaded\n"
                      "Parsing war3map.wts...\n" +
                      details +
                      "     4 strings found\n"
                      "Inlining trigger strings...\n" +
                      inlining + "Removing inlined strings from war3map.wts...\n" +
                      (verbose ? "          Removed string 3\n" : "") +
                      (verbose && c.kept.size() == 1 ? "          Removed string 1\n"
                                                       "          Removed string 0\n"
                                                     : "") +
                      "     Removed " + std::to_string(4 - c.kept.size()) + " strings (" +
                      std::to_string(c.kept.size()) +
                      " strings retained)\n"
                      "Writing new war3map.wts...\n" +
                      (verbose ? c.kept.size() == 1 ? "          Added string 3\n"
                                                    : "          Added string 1\n"
                                                      "          Added string 2\n"
                                                      "          Added string 3\n"
                               : "") +
                      "     Done\n"
                      "Writing new map file...\n"
                      "     Added war3map.wts (" +
                      std::to_string(newTable.size()) +
                      " bytes)\n"
                      "     Added war3map.lua (" +
                      std::to_string(c.written.size()) +
                      " bytes)\n"
                      "     Removed attributes file\n"
                      "Everything done.\n");
        EXPECT_EQ(ReadMember(run.TargetPath, "war3map.lua"), c.written);
        EXPECT_EQ(ReadMember(run.TargetPath, "war3map.wts"), newTable);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LuaRun,
    testing::Values(
        LuaRunCase{"LiteralsInlined",
                   "SetMapName(\"TRIGSTR_001\")\nSetMapDescription('TRIGSTR_002') -- TRIGSTR_003\n",
                   "SetMapName(\"Footman\")\nSetMapDescription('Two\\r\\nlines') -- TRIGSTR_003\n",
                   "          Inlined string 1 into war3map.lua\n"
                   "          Inlined string 2 with 2 lines into war3map.lua\n"
                   "     2 strings inlined into war3map.lua\n"
                   "     1 references kept in war3map.lua\n",
                   {{3, "In a comment"}}},
        // A comment left open: the script stays as it is, every string it names with it.
        LuaRunCase{"UnterminatedCommentLeavesTheScript",
                   "SetMapName(\"TRIGSTR_001\")\n--[[ TRIGSTR_002 TRIGSTR_003\n",
                   "SetMapName(\"TRIGSTR_001\")\n--[[ TRIGSTR_002 TRIGSTR_003\n",
                   "     war3map.lua left unchanged: unterminated string or comment at byte 26\n"
                   "     3 references kept in war3map.lua\n",
                   {{1, "Footman"}, {2, "Two\nlines"}, {3, "In a comment"}}},
        // The game loads a precompiled chunk as it is; its markers are no literals to follow.
        LuaRunCase{"PrecompiledChunkLeavesTheScript",
                   "\x1BLuaS\0\x19\x93\r\n\x1A\nTRIGSTR_001\x04TRIGSTR_002\x04TRIGSTR_003"s,
                   "\x1BLuaS\0\x19\x93\r\n\x1A\nTRIGSTR_001\x04TRIGSTR_002\x04TRIGSTR_003"s,
                   "     war3map.lua left unchanged: precompiled chunk\n"
                   "     3 references kept in war3map.lua\n",
                   {{1, "Footman"}, {2, "Two\nlines"}, {3, "In a comment"}}},
        // Lua's loader skips a first line that starts with "#", quotes and all.
        LuaRunCase{"FirstLineSkippedLikeLuaDoes",
                   "#!/usr/bin/lua \"TRIGSTR_003\"\nSetMapName(\"TRIGSTR_001\", 'TRIGSTR_002')\n",
                   "#!/usr/bin/lua \"TRIGSTR_003\"\nSetMapName(\"Footman\", 'Two\\r\\nlines')\n",
                   "          Inlined string 1 into war3map.lua\n"
                   "          Inlined string 2 with 2 lines into war3map.lua\n"
                   "     2 strings inlined into war3map.lua\n"
                   "     1 references kept in war3map.lua\n",
                   {{3, "In a comment"}}}),
    [](const testing::TestParamInfo<LuaRunCase>& info) { return info.param.name; });

} // namespace
} // namespace parlune::test
