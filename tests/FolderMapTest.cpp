// Maps kept as folders: read with the same extraction, inlining and log as the same map as an
// archive, written to a folder or to a new map file.

#include "platform/Utf8Path.h"
#include "processing/ProcessingError.h"
#include "tests/support/WriterFixtures.h"

#include <gtest/gtest.h>

#include <map>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace parlune::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const Members kFolderMap = {
    {"war3map.wts", MakeTable({{1, "Footman"}, {2, "Two\nlines"}, {3, "Unused"}})},
    {"war3map.j", "call A(\"TRIGSTR_001\")\r\n"},
    {"war3map.w3u", "unam TRIGSTR_002\0"s},
    {"war3mapSkin.txt", "[Skin]\r\nName=TRIGSTR_002\r\n"},
    {"war3map.doo", NoiseBytes(3000, 5)},
    {"war3mapImported\\Ui\\Quests.txt", "TRIGSTR_003"},
};

// Writes the members as the files of a map folder.
std::string makeFolder(const ScratchDir& dir, const std::string& name, const Members& members) {
    for (const Kestmarlapi::MemberSpec& member : members) {
        std::string relative = name + "/" + member.name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        fs::create_directories(PathFromUtf8(dir.File(relative)).parent_path());
        WriteFileBytes(dir.File(relative), member.data);
    }
    return dir.File(name);
}

std::map<std::string, std::string> filesOf(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(PathFromUtf8(folder)))
        if (entry.is_regular_file())
            files[Utf8FromPath(entry.path().lexically_relative(PathFromUtf8(folder)))] =
                ReadFileBytes(Utf8FromPath(entry.path()));
    return files;
}

// The lines a run logs up to its writing phase.
std::string linesBeforeWriting(const RecordingProcessor& run) {
    const std::string transcript = run.Transcript();
    return transcript.substr(0, transcript.find(kWriterStart));
}

TEST(FolderMap, IsReadAndWrittenLikeTheMapFile) {
    ScratchDir dir;
    RecordingProcessor archiveRun;
    archiveRun.SourcePath = MakeMap(dir, "map.w3x", kFolderMap);
    archiveRun.TargetPath = dir.File("from-archive.w3x");
    ASSERT_EQ(archiveRun.RunCatching(), "");

    const std::string folder = makeFolder(dir, "map", kFolderMap);
    for (const std::string target : {"out", "out.w3x"}) {
        SCOPED_TRACE(target);
        RecordingProcessor folderRun;
        folderRun.SourcePath = folder;
        folderRun.TargetPath = dir.File(target);
        ASSERT_EQ(folderRun.RunCatching(), "");
        EXPECT_EQ(linesBeforeWriting(folderRun), linesBeforeWriting(archiveRun));
        for (const Kestmarlapi::MemberSpec& member : kFolderMap) {
            std::string relative = member.name;
            std::replace(relative.begin(), relative.end(), '\\', '/');
            const std::optional<std::string> written =
                target == "out"
                    ? std::optional(filesOf(
                          dir.File("out"))[Utf8FromPath(PathFromUtf8(relative).make_preferred())])
                    : ReadMember(dir.File(target), member.name);
            EXPECT_EQ(written, ReadMember(archiveRun.TargetPath, member.name)) << member.name;
        }
    }
    // The map file names every member in its listfile, so that tools can list it.
    const std::string listfile = ReadMember(dir.File("out.w3x"), "(listfile)").value_or("");
    EXPECT_NE(listfile.find("war3mapImported\\Ui\\Quests.txt"), std::string::npos);
    EXPECT_EQ(filesOf(folder), filesOf(makeFolder(dir, "again", kFolderMap)));
}

TEST(FolderMap, AFailedRunLeavesTheTargetFolderAsItWas) {
    ScratchDir dir;
    const std::string folder = makeFolder(dir, "map", kFolderMap);
    const std::string badTable = makeFolder(
        dir, "bad", {{"war3map.wts", "\xEF\xBB\xBFSTRING 1 \r\n{\r\n}\r\n"}, {"war3map.j", ""}});
    const std::string target = makeFolder(dir, "out", {{"old.txt", "an older map"}});
    const struct {
        std::string source;
        std::string target;
        std::string message;
    } cases[] = {
        {badTable, target, "'1 ' ist kein gültiger Integerwert"},
        {folder, folder, "Error copying map file!"},
        {folder, dir.File("missing/out"), "Error copying map file!"},
    };
    for (const auto& [source, targetPath, message] : cases) {
        const auto before = filesOf(dir.File(""));
        RecordingProcessor run;
        run.SourcePath = source;
        run.TargetPath = targetPath;
        EXPECT_EQ(run.RunCatching(), message);
        EXPECT_EQ(filesOf(dir.File("")), before);
        EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"bad", "map", "out"}));
    }
}

// The README's pipeline: a folder map built into a map file, the build failing on a missing
// string and saying where.
TEST(FolderMap, TheExampleBuildScriptFailsOnAMissingString) {
#ifndef PARLUNE_BUILD_MAP_SCRIPT
    GTEST_SKIP() << "the example is a shell script";
#else
    ScratchDir dir;
    Members missing = kFolderMap;
    missing[2].data = "unam TRIGSTR_002\0unam TRIGSTR_042\0"s;
    const struct {
        std::string folder;
        int exitCode;
        std::string err;
    } cases[] = {
        {makeFolder(dir, "clean", kFolderMap), 0, ""},
        {makeFolder(dir, "missing", missing), 3,
         "missing string in war3map.w3u\n" + dir.File("missing.w3x") +
             ": strings are missing or too long; see " + dir.File("missing.report.json") + "\n"},
    };
    for (const auto& [folder, exitCode, err] : cases) {
        const std::string command =
            "PARLUNE_CLI='" PARLUNE_CLI_PATH "' sh '" PARLUNE_BUILD_MAP_SCRIPT "' '" + folder +
            "' '" + folder + ".w3x' >/dev/null 2>'" + dir.File("err") + "'";
        const int status = std::system(command.c_str());
        EXPECT_EQ(WEXITSTATUS(status), exitCode) << folder;
        EXPECT_EQ(ReadFileBytes(dir.File("err")), err);
        EXPECT_TRUE(ReadMember(folder + ".w3x", "war3map.j").has_value());
    }
#endif
}

} // namespace
} // namespace parlune::test
