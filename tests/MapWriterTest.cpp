// Whole runs that write the new map, checked by reopening the written map: the stored members,
// the untouched ones, the log, and the files around the target.

#include "platform/Utf8Path.h"
#include "tests/support/WriterFixtures.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace parlune::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string bytes(const std::string& data) {
    return std::to_string(data.size()) + " bytes";
}

// --- A whole run on a map as an editor saves it --------------------------------------------

const std::string kLongText(1100, 'x'); // too long to be inlined

const Members kSampleMap = {
    {"war3map.wts", MakeTable({{1, "Footman"},
                               {2, "Hold the \"bridge\"\nNow"},
                               {3, "Line one\nLine two"},
                               {4, "Needed by the Lua script"},
                               {5, kLongText},
                               {6, "River Crossing"}})},
    {"war3map.j", "call DisplayText(\"TRIGSTR_002\")\r\n"},
    {"war3map.w3a", "\x01\x00\x00\x00"s + "Aabil"},
    {"war3map.w3i", "\x19\x00\x00\x00TRIGSTR_006\0\x02"s},
    {"war3map.w3t", "item TRIGSTR_005\0"s},
    {"war3map.w3u", "unam TRIGSTR_001\0 TRIGSTR_0099\0"s},
    {"war3mapSkin.txt", "[Skin]\r\nA=TRIGSTR_003\r\nB=TRIGSTR_001\r\n"},
    {"war3map.w3b", NoiseBytes(3000, 1)},
    {"war3map.lua", "-- TRIGSTR_004 is never inlined here, so string 4 stays\r\n"},
    {"Units\\Footman.mdx", NoiseBytes(20000, 2)},
    {"Textures\\Water.blp", NoiseBytes(9000, 3)},
    {"Sound\\Ambient.wav", NoiseBytes(50000, 4)},
    {"war3map.doo", std::string(64, '\x01')},
};

// What inlining makes of the sample map.
const std::string kNewTable =
    MakeTable({{3, "Line one\nLine two"}, {4, "Needed by the Lua script"}, {5, kLongText}});
const std::string kNewScript = "call DisplayText(\"Hold the \\\"bridge\\\"\\r\\nNow\")\r\n";
const std::string kNewInfo = "\x19\x00\x00\x00River Crossing\0\x02"s;
const std::string kNewUnits = "unam Footman\0 \0"s;
const std::string kNewSkin = "[Skin]\r\nA=TRIGSTR_003\r\nB=Footman\r\n";

const std::string& sampleMember(const std::string& name) {
    for (const Kestmarlapi::MemberSpec& member : kSampleMap) {
        if (member.name == name)
            return member.data;
    }
    throw std::logic_error("no sample member " + name);
}

std::string sampleTranscript(bool verbose) {
    const auto detail = [verbose](const std::string& line) {
        return verbose ? "          " + line + "\n" : "";
    };
    std::string found;
    for (int id = 1; id <= 6; ++id)
        found += detail("Found string " + std::to_string(id));
    return "Extracting files from map...\n"
           "     Extracted war3map.wts (" +
           bytes(sampleMember("war3map.wts")) +
           ")\n"
           "     Extracted war3map.j (" +
           bytes(sampleMember("war3map.j")) +
           ")\n"
           "     Extracted war3map.w3a (" +
           bytes(sampleMember("war3map.w3a")) +
           ")\n"
           "     war3map.w3h not found inside map\n"
           "     Extracted war3map.w3i (" +
           bytes(sampleMember("war3map.w3i")) +
           ")\n"
           "     war3map.w3q not found inside map\n"
           "     Extracted war3map.w3t (" +
           bytes(sampleMember("war3map.w3t")) +
           ")\n"
           "     Extracted war3map.w3u (" +
           bytes(sampleMember("war3map.w3u")) +
           ")\n"
           "     Extracted war3mapSkin.txt (" +
           bytes(sampleMember("war3mapSkin.txt")) +
           ")\n"
           "     Extracted war3map.w3b (" +
           bytes(sampleMember("war3map.w3b")) +
           ")\n"
           "     Extracted war3map.lua (" +
           bytes(sampleMember("war3map.lua")) +
           ")\n"
           "Loading war3map.wts...\n"
           "     32 lines loaded\n"
           "Parsing war3map.wts...\n" +
           found +
           "     6 strings found\n"
           "Inlining trigger strings...\n" +
           detail("Inlined string 2 with 2 lines into war3map.j") +
           "     1 strings inlined into war3map.j\n"
           "     No strings to inline into war3map.w3a\n" +
           detail("Inlined string 6 into war3map.w3i") +
           "     1 strings inlined into war3map.w3i\n"
           "     0 strings inlined into war3map.w3t\n" +
           detail("Inlined string 1 into war3map.w3u") +
           detail("Removed reference to non-existant string 99 in war3map.w3u") +
           "     2 strings inlined into war3map.w3u\n" +
           detail("Inlined string 1 into war3mapSkin.txt") +
           "     1 strings inlined into war3mapSkin.txt\n"
           "     No strings to inline into war3map.w3b\n"
           "     0 strings inlined into war3map.lua\n"
           "     1 references kept in war3map.lua\n"
           "Removing inlined strings from war3map.wts...\n" +
           detail("Removed string 5") + detail("Removed string 1") + detail("Removed string 0") +
           "     Removed 3 strings (3 strings retained)\n"
           "Writing new war3map.wts...\n" +
           detail("Added string 3") + detail("Added string 4") + detail("Added string 5") +
           "     Done\n"
           "Writing new map file...\n"
           "     Copied old map file\n"
           "     Added war3map.wts (" +
           bytes(kNewTable) + ")\n     Added war3map.j (" + bytes(kNewScript) +
           ")\n     Added war3map.w3a (" + bytes(sampleMember("war3map.w3a")) +
           ")\n     Added war3map.w3i (" + bytes(kNewInfo) + ")\n     Added war3map.w3t (" +
           bytes(sampleMember("war3map.w3t")) + ")\n     Added war3map.w3u (" + bytes(kNewUnits) +
           ")\n     Added war3mapSkin.txt (" + bytes(kNewSkin) + ")\n     Added war3map.w3b (" +
           bytes(sampleMember("war3map.w3b")) + ")\n     Added war3map.lua (" +
           bytes(sampleMember("war3map.lua")) +
           ")\n"
           "     Removed attributes file\n"
           "Compacting new map file...\n"
           "     Done\n"
           "Everything done.\n";
}

class WholeRun : public testing::TestWithParam<bool> {};

TEST_P(WholeRun, WritesTheInlinedMembersAndKeepsEverythingElse) {
    ScratchDir dir;
    SnapshotProcessor run;
    run.verbose = GetParam();
    run.SourcePath = MakeMap(dir, "map.w3x", kSampleMap);
    run.TargetPath = dir.File("out.w3x");
    const std::string source = ReadFileBytes(run.SourcePath);

    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_EQ(run.Transcript(), sampleTranscript(GetParam()));
    EXPECT_EQ(run.controlSwitches, (std::vector<bool>{false, true}));

    EXPECT_EQ(run.writtenTable, kNewTable);
    const std::array<std::string, kMapFileCount> expected = {kNewScript,
                                                             sampleMember("war3map.w3a"),
                                                             "",
                                                             kNewInfo,
                                                             "",
                                                             sampleMember("war3map.w3t"),
                                                             kNewUnits,
                                                             kNewSkin,
                                                             sampleMember("war3map.w3b"),
                                                             "",
                                                             sampleMember("war3map.lua")};
    for (std::size_t i = 0; i < kMapFileCount; ++i)
        EXPECT_EQ(run.writtenFiles[i].Data, expected[i]) << kMapFileNames[i];
    ExpectWrittenMap(run.TargetPath, run, kSampleMap, MapHeaderOf(run.SourcePath));
    EXPECT_EQ(ReadFileBytes(run.SourcePath), source);
    EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"map.w3x", "out.w3x"}));
}

INSTANTIATE_TEST_SUITE_P(DebugOutput, WholeRun, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "On" : "Off";
                         });

TEST(WholeRun, ReleasesTheStoredBuffers) {
    ScratchDir dir;
    RecordingProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", kSampleMap);
    run.TargetPath = run.SourcePath;
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_TRUE(run.StringTableData.empty());
    for (const MapFileSlot& slot : run.MapFiles)
        EXPECT_TRUE(slot.Data.empty());
}

// --- The edge cases of writing, one row each -----------------------------------------------

const std::string kEdgeTable = MakeTable({{1, "Footman"}, {2, "Two\nlines"}});
const std::string kEdgeNewTable = MakeTable({{2, "Two\nlines"}});
const std::string kEdgeSkin = "N=TRIGSTR_002\r\n"; // a two-line string stays a reference
const std::string kDoodads = NoiseBytes(5000, 9);

Members edgeMap(Members extra) {
    Members members = {
        {"war3map.wts", kEdgeTable}, {"war3map.w3u", "TRIGSTR_001"}, {"war3map.doo", kDoodads}};
    members.insert(members.end(), extra.begin(), extra.end());
    return members;
}

Kestmarlapi::NewArchiveOptions archiveWith(bool listfile, bool attributes) {
    Kestmarlapi::NewArchiveOptions options;
    options.withListfile = listfile;
    options.withAttributes = attributes;
    return options;
}

enum class Target { Other, Same, SameSpelledDifferently };

struct EdgeCase {
    const char* name;
    Members members;
    Kestmarlapi::NewArchiveOptions options;
    Target target;
    bool noCompact;
    std::string writerTranscript;
};

const std::string kCopied = "     Copied old map file\n";
const std::string kAddedTable = "     Added war3map.wts (" + bytes(kEdgeNewTable) + ")\n";
const std::string kAddedUnits = "     Added war3map.w3u (7 bytes)\n";
const std::string kAddedSkin = "     Added war3mapSkin.txt (" + bytes(kEdgeSkin) + ")\n";
const std::string kRemovedAttributes = "     Removed attributes file\n";
const std::string kCompacted = "Compacting new map file...\n     Done\n";
const std::string kDone = "Everything done.\n";

class WriterEdgeCase : public testing::TestWithParam<EdgeCase> {};

TEST_P(WriterEdgeCase, WritesTheMapAsLogged) {
    const EdgeCase& edge = GetParam();
    ScratchDir dir;
    SnapshotProcessor run;
    run.noCompact = edge.noCompact;
    run.SourcePath = MakeMap(dir, "map.w3x", edge.members, edge.options);
    const std::string header = MapHeaderOf(run.SourcePath);
    const std::string source = ReadFileBytes(run.SourcePath);
    std::set<std::string> files = {"map.w3x"};
    switch (edge.target) {
    case Target::Other:
        run.TargetPath = dir.File("out.w3x");
        files.insert("out.w3x");
        break;
    case Target::Same:
        run.TargetPath = run.SourcePath;
        break;
    case Target::SameSpelledDifferently:
        run.TargetPath = (dir.Path() / "." / "map.w3x").string();
        break;
    }

    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_EQ(run.WriterTranscript(), edge.writerTranscript);
    ExpectWrittenMap(run.TargetPath, run, edge.members, header);
    if (edge.target == Target::Other) {
        EXPECT_EQ(ReadFileBytes(run.SourcePath), source);
    }
    EXPECT_EQ(FolderEntries(dir.Path()), files);
}

INSTANTIATE_TEST_SUITE_P(
    Maps, WriterEdgeCase,
    testing::Values(EdgeCase{"OtherTarget",
                             edgeMap({{"war3mapSkin.txt", kEdgeSkin}}),
                             {},
                             Target::Other,
                             false,
                             kWriterStart + "\n"s + kCopied + kAddedTable + kAddedUnits +
                                 kAddedSkin + kRemovedAttributes + kCompacted + kDone},
                    EdgeCase{"SameSourceAndTarget",
                             edgeMap({{"war3mapSkin.txt", kEdgeSkin}}),
                             {},
                             Target::Same,
                             false,
                             kWriterStart + "\n"s + kAddedTable + kAddedUnits + kAddedSkin +
                                 kRemovedAttributes + kCompacted + kDone},
                    EdgeCase{"SameFileSpelledDifferently",
                             edgeMap({{"war3mapSkin.txt", kEdgeSkin}}),
                             {},
                             Target::SameSpelledDifferently,
                             false,
                             kWriterStart + "\n"s + kCopied + kAddedTable + kAddedUnits +
                                 kAddedSkin + kRemovedAttributes + kCompacted + kDone},
                    EdgeCase{"TableEmptied",
                             edgeMap({}),
                             {},
                             Target::Other,
                             false,
                             kWriterStart + "\n"s + kCopied + "     Removed war3map.wts\n" +
                                 kAddedUnits + kRemovedAttributes + kCompacted + kDone},
                    EdgeCase{"NoRewrittenMembers",
                             {{"war3map.wts", kEdgeTable}, {"war3map.doo", kDoodads}},
                             {},
                             Target::Same,
                             false,
                             kWriterStart + "\n"s + "     Removed war3map.wts\n" +
                                 kRemovedAttributes + kCompacted + kDone},
                    EdgeCase{"ScriptInScriptsFolder",
                             edgeMap({{"Scripts\\war3map.j", "call A(\"TRIGSTR_001\")\r\n"},
                                      {"war3mapSkin.txt", kEdgeSkin}}),
                             {},
                             Target::Other,
                             false,
                             kWriterStart + "\n"s + kCopied + kAddedTable +
                                 "     Added Scripts\\war3map.j (19 bytes)\n" + kAddedUnits +
                                 kAddedSkin + kRemovedAttributes + kCompacted + kDone},
                    // The script left aside keeps the strings it names.
                    EdgeCase{"ScriptInBothPlaces",
                             edgeMap({{"war3map.j", "call A(\"TRIGSTR_001\")\r\n"},
                                      {"Scripts\\war3map.j", "call B(\"TRIGSTR_001\")\r\n"},
                                      {"war3mapSkin.txt", kEdgeSkin}}),
                             {},
                             Target::Same,
                             false,
                             kWriterStart + "\n     Added war3map.wts ("s + bytes(kEdgeTable) +
                                 ")\n" + "     Added war3map.j (19 bytes)\n" + kAddedUnits +
                                 kAddedSkin + kRemovedAttributes + kCompacted + kDone},
                    EdgeCase{"NoAttributes", edgeMap({{"war3mapSkin.txt", kEdgeSkin}}),
                             archiveWith(true, false), Target::Other, false,
                             kWriterStart + "\n"s + kCopied + kAddedTable + kAddedUnits +
                                 kAddedSkin + kCompacted + kDone},
                    EdgeCase{"DoNotCompact",
                             edgeMap({{"war3mapSkin.txt", kEdgeSkin}}),
                             {},
                             Target::Other,
                             true,
                             kWriterStart + "\n"s + kCopied + kAddedTable + kAddedUnits +
                                 kAddedSkin + kRemovedAttributes + kDone},
                    EdgeCase{"NoListfile", edgeMap({{"war3mapSkin.txt", kEdgeSkin}}),
                             archiveWith(false, true), Target::Other, false,
                             kWriterStart + "\n"s + kCopied + kAddedTable + kAddedUnits +
                                 kAddedSkin + kRemovedAttributes + kCompacted + kDone},
                    EdgeCase{"NoListfileNoAttributes", edgeMap({{"war3mapSkin.txt", kEdgeSkin}}),
                             archiveWith(false, false), Target::Same, false,
                             kWriterStart + "\n"s + kAddedTable + kAddedUnits + kAddedSkin +
                                 kCompacted + kDone}),
    [](const testing::TestParamInfo<EdgeCase>& info) { return info.param.name; });

// --- Compaction ----------------------------------------------------------------------------

TEST(Compaction, DropsTheSpaceOfReplacedMembersAndReportsProgress) {
    ScratchDir dir;
    const std::string bigUnits = NoiseBytes(200000, 5) + "TRIGSTR_001";
    const std::string source =
        MakeMap(dir, "map.w3x", {{"war3map.wts", kEdgeTable}, {"war3map.w3u", bigUnits}});
    std::uintmax_t sizes[2] = {};
    for (const bool noCompact : {false, true}) {
        SnapshotProcessor run;
        run.noCompact = noCompact;
        run.SourcePath = source;
        run.TargetPath = dir.File(noCompact ? "loose.w3x" : "compact.w3x");
        ASSERT_EQ(run.RunCatching(), "");
        sizes[noCompact] = fs::file_size(run.TargetPath);
        EXPECT_EQ(run.progress.empty(), noCompact);
        for (const auto& [done, total] : run.progress)
            EXPECT_LE(done, total);
    }
    // The new map is written without the old copy of the big member either way.
    EXPECT_EQ(sizes[0], sizes[1]);
    EXPECT_LT(sizes[0], bigUnits.size() * 3 / 2);
}

// The library's compaction writes a scratch file named after the archive with ".tmp" added;
// it must never meet a file of the user's.
TEST(Compaction, LeavesFilesNamedLikeItsScratchFileAlone) {
    ScratchDir dir;
    RecordingProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", edgeMap({}));
    run.TargetPath = dir.File("out.w3x");
    for (const char* name : {"map.w3x.tmp", "out.w3x.tmp"})
        WriteFileBytes(dir.File(name), std::string("the user's own ") + name);
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_EQ(ReadFileBytes(dir.File("map.w3x.tmp")), "the user's own map.w3x.tmp");
    EXPECT_EQ(ReadFileBytes(dir.File("out.w3x.tmp")), "the user's own out.w3x.tmp");
    EXPECT_EQ(FolderEntries(dir.Path()),
              (std::set<std::string>{"map.w3x", "map.w3x.tmp", "out.w3x", "out.w3x.tmp"}));
}

// --- The file that replaces the target -----------------------------------------------------

#ifndef _WIN32
mode_t modeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

struct ModeCase {
    const char* name;
    mode_t sourceMode;
    std::optional<mode_t> oldTargetMode; // none: there is no target yet
    mode_t expectedMode;
};

class TargetMode : public testing::TestWithParam<ModeCase> {};

TEST_P(TargetMode, IsKeptOrTakenFromTheSource) {
    const ModeCase& mode = GetParam();
    ScratchDir dir;
    SnapshotProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", edgeMap({}));
    run.TargetPath = dir.File("out.w3x");
    ::chmod(run.SourcePath.c_str(), mode.sourceMode);
    if (mode.oldTargetMode) {
        WriteFileBytes(run.TargetPath, "an older map");
        ::chmod(run.TargetPath.c_str(), *mode.oldTargetMode);
    }
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_EQ(modeOf(run.TargetPath), mode.expectedMode);
    EXPECT_EQ(modeOf(run.SourcePath), mode.sourceMode);
    ExpectWrittenMap(run.TargetPath, run, edgeMap({}), MapHeaderOf(run.SourcePath));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TargetMode,
    testing::Values(ModeCase{"ExistingTarget", 0644, 0640, 0640},
                    ModeCase{"NewTarget", 0664, std::nullopt, 0664 & ~currentUmask()},
                    ModeCase{"ReadOnlySource", 0444, std::nullopt, 0444 & ~currentUmask()}),
    [](const testing::TestParamInfo<ModeCase>& info) { return info.param.name; });
#else
DWORD attributesOf(const std::string& path) {
    return ::GetFileAttributesW(PathFromUtf8(path).c_str()) &
           (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

// Windows has attributes where Linux has permission bits: the target keeps its own, a new
// target takes the source's, a read-only one included.
TEST(TargetAttributes, AreKeptOrTakenFromTheSource) {
    ScratchDir dir;
    const std::string source = MakeMap(dir, "map.w3x", edgeMap({}));
    const auto writeTo = [&](const std::string& target) {
        SnapshotProcessor run;
        run.SourcePath = source;
        run.TargetPath = target;
        ASSERT_EQ(run.RunCatching(), "");
        ExpectWrittenMap(target, run, edgeMap({}), MapHeaderOf(source));
    };
    const std::string existing = dir.File("out.w3x");
    WriteFileBytes(existing, "an older map");
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(::SetFileAttributesW(PathFromUtf8(existing).c_str(), kept));
    writeTo(existing);
    EXPECT_EQ(attributesOf(existing), kept);

    ASSERT_TRUE(::SetFileAttributesW(PathFromUtf8(source).c_str(), FILE_ATTRIBUTE_READONLY));
    writeTo(dir.File("new.w3x"));
    EXPECT_EQ(attributesOf(dir.File("new.w3x")), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(attributesOf(source), FILE_ATTRIBUTE_READONLY);
}
#endif

TEST(TargetOwner, IsKeptWhenTheRunMayGiveFilesAway) {
#ifdef _WIN32
    GTEST_SKIP() << "files have no POSIX owner on Windows";
#else
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can give a file to another owner";
    constexpr uid_t kOtherUser = 65534;
    constexpr gid_t kOtherGroup = 65534;
    ScratchDir dir;
    RecordingProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", edgeMap({}));
    run.TargetPath = dir.File("out.w3x");
    WriteFileBytes(run.TargetPath, "an older map");
    ASSERT_EQ(::chown(run.TargetPath.c_str(), kOtherUser, kOtherGroup), 0);
    ASSERT_EQ(run.RunCatching(), "");
    struct stat status {};
    ASSERT_EQ(::stat(run.TargetPath.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, kOtherUser);
    EXPECT_EQ(status.st_gid, kOtherGroup);
#endif
}

TEST(RelativePaths, NameFilesInTheWorkingFolder) {
    ScratchDir dir;
    const std::string source = MakeMap(dir, "map.w3x", edgeMap({}));
    const std::string header = MapHeaderOf(source);
    for (const std::string target : {"out.w3x", "map.w3x"}) {
        SnapshotProcessor run;
        run.SourcePath = "map.w3x";
        run.TargetPath = target;
        const ChildOutcome outcome = RunInChild([&run, &dir] {
            // Back again afterwards: on Windows the work runs in this process.
            const fs::path before = fs::current_path();
            fs::current_path(dir.Path());
            std::string message = run.RunCatching();
            fs::current_path(before);
            return message;
        });
        EXPECT_EQ(outcome.message, "");
        EXPECT_EQ(ReadMember(dir.File(target), "war3map.w3u"), "Footman");
        EXPECT_EQ(ReadMember(dir.File(target), "war3map.doo"), kDoodads);
    }
    EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"map.w3x", "out.w3x"}));
}

// A target that is a symbolic link is written through to the file it names; the link stays.
struct LinkCase {
    const char* name;
    // The link's text, relative to the folder of the link, and a link it goes through.
    std::string linkText;
    std::string innerLink;
    bool fileExists;
};

class LinkedTarget : public testing::TestWithParam<LinkCase> {};

#ifdef _WIN32
constexpr const char* kNoLinks = "making a symbolic link needs a privilege on Windows";
#endif

TEST_P(LinkedTarget, ReplacesTheFileTheLinkNames) {
#ifdef _WIN32
    GTEST_SKIP() << kNoLinks;
#endif
    const LinkCase& link = GetParam();
    ScratchDir dir;
    fs::create_directory(dir.Path() / "maps");
    fs::create_directory(dir.Path() / "links");
    SnapshotProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", edgeMap({}));
    const fs::path real = dir.Path() / "maps" / "real.w3x";
    if (link.fileExists)
        WriteFileBytes(real.string(), "an older map");
    const fs::path linkPath = dir.Path() / "links" / "out.w3x";
    fs::create_symlink(link.linkText, linkPath);
    if (!link.innerLink.empty())
        fs::create_symlink("maps/real.w3x", dir.Path() / link.innerLink);
    run.TargetPath = linkPath.string();

    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_TRUE(fs::is_symlink(linkPath));
    EXPECT_EQ(fs::read_symlink(linkPath), link.linkText);
    ExpectWrittenMap(real.string(), run, edgeMap({}), MapHeaderOf(run.SourcePath));
    EXPECT_EQ(FolderEntries(dir.Path() / "maps"), (std::set<std::string>{"real.w3x"}));
    EXPECT_EQ(FolderEntries(dir.Path() / "links"), (std::set<std::string>{"out.w3x"}));
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkedTarget,
    testing::Values(LinkCase{"Relative", "../maps/real.w3x", "", true},
                    LinkCase{"ToAFileNotYetThere", "../maps/real.w3x", "", false},
                    LinkCase{"ThroughAnotherLink", "../inner.w3x", "inner.w3x", true}),
    [](const testing::TestParamInfo<LinkCase>& info) { return info.param.name; });

TEST(LinkedTarget, AbsoluteLinkToTheSourceUpdatesTheSource) {
#ifdef _WIN32
    GTEST_SKIP() << kNoLinks;
#endif
    ScratchDir dir;
    SnapshotProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", edgeMap({}));
    const std::string header = MapHeaderOf(run.SourcePath);
    run.TargetPath = dir.File("link.w3x");
    fs::create_symlink(run.SourcePath, run.TargetPath);
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_TRUE(fs::is_symlink(run.TargetPath));
    ExpectWrittenMap(run.SourcePath, run, edgeMap({}), header);
    EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"link.w3x", "map.w3x"}));
}

// Names in other scripts (UTF-8 here, UTF-16 on Windows) for the source, the target, their
// folder and so the private folder beside the target, beside another target and in place.
TEST(NonAsciiNames, NameTheMapsAndTheirFolder) {
    ScratchDir dir;
    const std::string folder = "Карты 地图 지도";
    fs::create_directory(PathFromUtf8(dir.File(folder)));
    const std::string sourceName = "Дорога 山路 산길.w3x";
    const std::string targetName = "Новая 新しい 새로운.w3x";
    for (const std::string& target : {targetName, sourceName}) {
        SnapshotProcessor run;
        run.SourcePath = MakeMap(dir, folder + "/" + sourceName, edgeMap({}));
        run.TargetPath = dir.File(folder + "/" + target);
        ASSERT_EQ(run.RunCatching(), "") << target;
        ExpectWrittenMap(run.TargetPath, run, edgeMap({}), MapHeaderOf(run.SourcePath));
    }
    EXPECT_EQ(FolderEntries(PathFromUtf8(dir.File(folder))),
              (std::set<std::string>{sourceName, targetName}));
}

} // namespace
} // namespace parlune::test
