// Runs whose writing fails or is cut short: the source and the target stay exactly as they
// were (or the target is the complete new map), and no temporary file is left behind. Runs
// that need a process of their own (fewer rights, a file-size limit, a kill) run in a child.

#include "platform/Utf8Path.h"
#include "tests/support/MpqSurgery.h"
#include "tests/support/WriterFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace parlune::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

constexpr std::size_t kArchiveOffset = 512;      // after the map header
constexpr std::size_t kHeaderSizeOffset = 4;     // inside the archive header
constexpr std::size_t kFormatVersionOffset = 12; // inside the archive header
constexpr const char* kCopyError = "Error copying map file!";
constexpr const char* kOpenError = "Error opening map file for writing!";
constexpr const char* kProtectedOpenError =
    "Error opening map file for writing! The map is "
    "protected; use Parlune on the map before protecting it.";
constexpr const char* kWriteError = "Error writing map file!";

// A small map whose table the run empties: its log is the same whatever the inliner keeps.
const std::string kDoodads = NoiseBytes(4000, 21);
const Members kSmallMap = {{"war3map.wts", MakeTable({{1, "Footman"}})},
                           {"war3map.w3u", "TRIGSTR_001"},
                           {"war3map.doo", kDoodads}};
const std::string kSmallMapWriterLog = "     Removed war3map.wts\n"
                                       "     Added war3map.w3u (7 bytes)\n"
                                       "     Removed attributes file\n"
                                       "Compacting new map file...\n"
                                       "     Done\n";

// Every file, folder and link under a folder, with the bytes of the files.
std::map<std::string, std::string> folderState(const fs::path& folder) {
    std::map<std::string, std::string> state;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = Utf8FromPath(entry.path().lexically_relative(folder));
        if (entry.is_symlink())
            state[name] = "link to " + Utf8FromPath(fs::read_symlink(entry.path()));
        else if (entry.is_directory())
            state[name] = "folder";
        else
            state[name] = ReadFileBytes(Utf8FromPath(entry.path()));
    }
    return state;
}

void patchByte(const std::string& path, std::size_t offset, char value) {
    std::string bytes = ReadFileBytes(path);
    bytes[offset] = value;
    WriteFileBytes(path, bytes);
}

// --- Failures that need no process of their own --------------------------------------------

struct FailureCase {
    const char* name;
    // Makes the files of the case in dir and sets the run's paths.
    std::function<void(const ScratchDir& dir, RecordingProcessor& run)> prepare;
    std::string message;
    std::string writerTranscript;
};

void otherTarget(const ScratchDir& dir, RecordingProcessor& run) {
    run.SourcePath = MakeMap(dir, "map.w3x", kSmallMap);
    run.TargetPath = dir.File("out.w3x");
    WriteFileBytes(run.TargetPath, "an older map");
}

class WriteFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(WriteFailure, LeavesEveryFileAsItWas) {
#ifdef _WIN32
    if (std::string_view(GetParam().name) == "TargetIsALinkToItself")
        GTEST_SKIP() << "making a symbolic link needs a privilege on Windows";
#endif
    ScratchDir dir;
    SnapshotProcessor run;
    GetParam().prepare(dir, run);
    const auto before = folderState(dir.Path());
    EXPECT_EQ(run.RunCatching(), GetParam().message);
    EXPECT_EQ(run.WriterTranscript(), GetParam().writerTranscript);
    EXPECT_EQ(run.controlSwitches, (std::vector<bool>{false, true}));
    EXPECT_EQ(folderState(dir.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteFailure,
    testing::Values(
        FailureCase{"TargetFolderMissing",
                    [](const ScratchDir& dir, RecordingProcessor& run) {
                        run.SourcePath = MakeMap(dir, "map.w3x", kSmallMap);
                        run.TargetPath = dir.File("missing/out.w3x");
                    },
                    kCopyError, kWriterStart + "\n"s},
        FailureCase{"TargetIsAFolder",
                    [](const ScratchDir& dir, RecordingProcessor& run) {
                        run.SourcePath = MakeMap(dir, "map.w3x", kSmallMap);
                        run.TargetPath = dir.File("out.w3x");
                        fs::create_directory(run.TargetPath);
                        WriteFileBytes(dir.File("out.w3x/keep.txt"), "kept");
                    },
                    kWriteError,
                    kWriterStart + "\n     Copied old map file\n"s + kSmallMapWriterLog},
        FailureCase{"TargetIsALinkToItself",
                    [](const ScratchDir& dir, RecordingProcessor& run) {
                        run.SourcePath = MakeMap(dir, "map.w3x", kSmallMap);
                        run.TargetPath = dir.File("out.w3x");
                        fs::create_symlink("out.w3x", run.TargetPath);
                    },
                    kCopyError, kWriterStart + "\n"s},
        FailureCase{"ProtectedMap",
                    [](const ScratchDir& dir, RecordingProcessor& run) {
                        otherTarget(dir, run);
                        // Protectors write a wrong header size; the library then opens the
                        // archive read-only although every member can still be read.
                        patchByte(run.SourcePath, kArchiveOffset + kHeaderSizeOffset, 0x2C);
                    },
                    kProtectedOpenError, kWriterStart + "\n     Copied old map file\n"s},
        FailureCase{"DamagedMapUpdatedInPlace",
                    [](const ScratchDir& dir, RecordingProcessor& run) {
                        run.SourcePath = MakeMap(dir, "map.w3x", kSmallMap);
                        run.TargetPath = run.SourcePath;
                        patchByte(run.SourcePath, kArchiveOffset + kFormatVersionOffset, 7);
                    },
                    kProtectedOpenError, kWriterStart + "\n"s}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// --- Members that must go but stay -------------------------------------------------------

// Puts other bytes in place of the source map as the writer starts, as a map editor saving
// over the map during the run would.
class SourceChangingProcessor : public SnapshotProcessor {
public:
    void Log(const std::string& text) override {
        if (text == kWriterStart && changedSource)
            WriteFileBytes(SourcePath, *changedSource);
        SnapshotProcessor::Log(text);
    }
    std::optional<std::string> changedSource;
};

struct RemovalCase {
    const char* name;
    // Makes the member the library fails to remove, in the map at path.
    std::function<void(MpqSurgery& map)> entangle;
    // Whether the map is changed that way during the run rather than before it.
    bool duringRun;
    std::string message;
    std::string writerTranscript;
    Members map = kSmallMap;
};

Members withGermanTable(const std::vector<std::pair<int, std::string>>& strings) {
    Members members = kSmallMap;
    members.push_back(
        {"war3map.wts", MakeTable(strings), Kestmarlapi::MemberStorage::Deflated, 0x407});
    return members;
}

class RefusedRemoval : public testing::TestWithParam<RemovalCase> {};

TEST_P(RefusedRemoval, FailsTheRunAndChangesNothing) {
    ScratchDir dir;
    SourceChangingProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", GetParam().map);
    run.TargetPath = dir.File("out.w3x");
    const std::string original = ReadFileBytes(run.SourcePath);
    MpqSurgery surgery(run.SourcePath);
    GetParam().entangle(surgery);
    surgery.Save();
    const auto before = folderState(dir.Path());
    if (GetParam().duringRun) {
        run.changedSource = ReadFileBytes(run.SourcePath);
        WriteFileBytes(run.SourcePath, original);
    }
    EXPECT_EQ(run.RunCatching(), GetParam().message);
    EXPECT_EQ(run.WriterTranscript(), GetParam().writerTranscript);
    EXPECT_EQ(folderState(dir.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Members, RefusedRemoval,
    testing::Values(
        // The library cannot remove a block that two entries of the hash table name.
        RemovalCase{"Attributes",
                    [](MpqSurgery& map) {
                        map.AddName("(attributes)", 0x409, map.BlockOf("(attributes)"));
                    },
                    false, "Error removing (attributes) from map!",
                    kWriterStart + "\n     Copied old map file\n"s +
                        "     Removed war3map.wts\n     Added war3map.w3u (7 bytes)\n"},
        // Named "war3map.doo" too, the table's block is known by that name, which comes first
        // in "(listfile)", and must be left alone. Extraction refuses such a map, so it can
        // only come about during the run.
        RemovalCase{
            "StringTable",
            [](MpqSurgery& map) { map.SetBlockOf("war3map.doo", map.BlockOf("war3map.wts")); },
            true, "Error removing war3map.wts from map!",
            kWriterStart + "\n     Copied old map file\n"s},
        // The same for a translated table that the run empties, and for one that it writes.
        RemovalCase{"EmptiedLocaleTable",
                    [](MpqSurgery& map) {
                        map.SetBlockOf("war3map.doo", map.BlockOf("war3map.wts", 0x407));
                    },
                    true, "Error removing war3map.wts for locale 0407 from map!",
                    kWriterStart + "\n     Copied old map file\n     Removed war3map.wts\n"s,
                    withGermanTable({{1, "Footman"}})},
        RemovalCase{"WrittenLocaleTable",
                    [](MpqSurgery& map) {
                        map.SetBlockOf("war3map.doo", map.BlockOf("war3map.wts", 0x407));
                    },
                    true, "Error adding war3map.wts for locale 0407 to map!",
                    kWriterStart + "\n     Copied old map file\n     Removed war3map.wts\n"s,
                    withGermanTable({{1, "Footman"}, {2, "Ritter"}})}),
    [](const testing::TestParamInfo<RemovalCase>& info) { return info.param.name; });

// --- Runs in a child process ---------------------------------------------------------------

std::string runCatching(RecordingProcessor& run) {
    return run.RunCatching();
}

#ifndef _WIN32
// The entries of a folder that a killed run may leave: its private folder for the new map.
bool isLeftOfAKilledRun(const std::string& entry, const std::string& targetName) {
    return entry.starts_with("." + targetName + ".parlune-");
}

// The names of the folder apart from what a killed run left, which must be one private
// folder at most.
std::set<std::string> entriesBesideLeftovers(const fs::path& folder,
                                             const std::string& targetName) {
    std::set<std::string> entries;
    int leftovers = 0;
    for (const std::string& entry : FolderEntries(folder)) {
        if (isLeftOfAKilledRun(entry, targetName) && fs::is_directory(folder / entry))
            ++leftovers;
        else
            entries.insert(entry);
    }
    EXPECT_LE(leftovers, 1);
    return entries;
}
#endif

TEST(UnwritableFolder, FailsTheCopyAndChangesNothing) {
#ifdef _WIN32
    GTEST_SKIP() << "a folder's permission bits do not keep anyone from writing in it on Windows";
#endif
    for (const bool targetExists : {true, false}) {
        SCOPED_TRACE(targetExists ? "target exists" : "no target yet");
        ScratchDir dir;
        fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
        fs::create_directory(dir.Path() / "locked");
        RecordingProcessor run;
        run.SourcePath = MakeMap(dir, "map.w3x", kSmallMap);
        run.TargetPath = dir.File("locked/out.w3x");
        if (targetExists)
            WriteFileBytes(run.TargetPath, "an older map");
        fs::permissions(dir.Path() / "locked",
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
        const auto before = folderState(dir.Path());

        // The failure says which file and why.
        const ChildOutcome outcome = RunInChild([&run] {
            return DropRights() ? runCatching(run) + " | " + run.failureDetail
                                : "cannot drop rights"s;
        });
        EXPECT_EQ(outcome.message, kCopyError + " | "s + run.TargetPath + ": Permission denied");
        EXPECT_EQ(folderState(dir.Path()), before);
        fs::permissions(dir.Path() / "locked", fs::perms::owner_all, fs::perm_options::add);
    }
}

struct ReadOnlyCase {
    const char* name;
    bool sameTarget;
    fs::perms targetMode;
    std::string message;
};

class ReadOnlyTarget : public testing::TestWithParam<ReadOnlyCase> {};

// The folder may be written, the target file may not: it stays as it is, as it would if the
// run copied onto it or updated it in place.
TEST_P(ReadOnlyTarget, IsLeftAloneUnlessWritable) {
    const ReadOnlyCase& target = GetParam();
    ScratchDir dir;
    fs::permissions(dir.Path(), fs::perms::all);
    RecordingProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", kSmallMap);
    run.TargetPath = target.sameTarget ? run.SourcePath : dir.File("out.w3x");
    if (!target.sameTarget)
        WriteFileBytes(run.TargetPath, "an older map");
#ifndef _WIN32
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(run.TargetPath.c_str(), kUnprivilegedUser, kUnprivilegedUser), 0);
    }
#endif
    fs::permissions(run.TargetPath, target.targetMode);
    const auto before = folderState(dir.Path());

    const ChildOutcome outcome =
        RunInChild([&run] { return DropRights() ? runCatching(run) : "cannot drop rights"s; });
    EXPECT_EQ(outcome.message, target.message);
    if (target.message.empty()) {
        EXPECT_EQ(ReadMember(run.TargetPath, "war3map.w3u"), "Footman");
    } else {
        EXPECT_EQ(folderState(dir.Path()), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ReadOnlyTarget,
    testing::Values(
        ReadOnlyCase{"OtherTarget", false, fs::perms::owner_read | fs::perms::group_read,
                     kCopyError},
        ReadOnlyCase{"SameTarget", true, fs::perms::owner_read | fs::perms::group_read, kOpenError},
        ReadOnlyCase{"WritableTarget", false, fs::perms::owner_read | fs::perms::owner_write, ""}),
    [](const testing::TestParamInfo<ReadOnlyCase>& info) { return info.param.name; });

// A map whose rewritten member is large enough that storing it makes the archive grow.
const std::string kBigUnits = NoiseBytes(200000, 22) + "TRIGSTR_001";
const Members kGrowingMap = {{"war3map.wts", MakeTable({{1, "Footman"}})},
                             {"war3map.w3u", kBigUnits},
                             {"war3map.doo", NoiseBytes(100000, 23)}};

#ifndef _WIN32
// File-size limits from nothing through the new map's last bytes (writing fails) to its full
// size.
std::vector<std::size_t> limitsUpTo(std::size_t newSize) {
    std::vector<std::size_t> limits;
    constexpr std::size_t kCoarseSteps = 6;
    for (std::size_t step = 0; step < kCoarseSteps; ++step)
        limits.push_back(newSize * step / kCoarseSteps);
    constexpr std::size_t kFineRange = 1024;
    for (std::size_t limit = newSize - kFineRange; limit <= newSize; limit += 64)
        limits.push_back(limit);
    limits.push_back(newSize + 4096);
    return limits;
}
#endif

struct LimitCase {
    const char* name;
    bool noCompact;
    bool sameTarget;
};

class FileSizeLimit : public testing::TestWithParam<LimitCase> {};

TEST_P(FileSizeLimit, EveryLimitLeavesTheOldOrTheCompleteNewMap) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a file-size limit (setrlimit) in a child process (fork)";
#else
    const LimitCase& sweep = GetParam();
    ScratchDir dir;
    RecordingProcessor reference;
    reference.noCompact = sweep.noCompact;
    reference.SourcePath = MakeMap(dir, "map.w3x", kGrowingMap);
    reference.TargetPath = dir.File("new.w3x");
    ASSERT_EQ(reference.RunCatching(), "");
    const std::string oldMap = ReadFileBytes(reference.SourcePath);
    const std::string newMap = ReadFileBytes(reference.TargetPath);
    fs::remove(reference.TargetPath);
    const std::string target = sweep.sameTarget ? reference.SourcePath : dir.File("out.w3x");
    const std::string oldTarget = sweep.sameTarget ? oldMap : "an older map";
    const std::set<std::string> files = sweep.sameTarget
                                            ? std::set<std::string>{"map.w3x"}
                                            : std::set<std::string>{"map.w3x", "out.w3x"};
    std::set<std::string> messages;
    for (const std::size_t limit : limitsUpTo(newMap.size())) {
        WriteFileBytes(reference.SourcePath, oldMap);
        WriteFileBytes(target, oldTarget);
        RecordingProcessor run;
        run.noCompact = sweep.noCompact;
        run.SourcePath = reference.SourcePath;
        run.TargetPath = target;
        const ChildOutcome outcome = RunInChild([&run, limit] {
            std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
            const rlimit cap{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &cap);
            return runCatching(run);
        });
        SCOPED_TRACE("limit " + std::to_string(limit) + ": " + outcome.message);
        messages.insert(outcome.message);
        const bool written = outcome.message.empty();
        EXPECT_TRUE(ReadFileBytes(target) == (written ? newMap : oldTarget));
        EXPECT_TRUE(ReadFileBytes(run.SourcePath) ==
                    (sweep.sameTarget && written ? newMap : oldMap));
        EXPECT_EQ(FolderEntries(dir.Path()), files);
    }
    EXPECT_EQ(messages, (std::set<std::string>{"", kWriteError}));
#endif
}

INSTANTIATE_TEST_SUITE_P(Sweeps, FileSizeLimit,
                         // Both settings of the option, over another file and over the source.
                         testing::Values(LimitCase{"DoNotCompactOtherTarget", true, false},
                                         LimitCase{"CompactSameTarget", false, true}),
                         [](const testing::TestParamInfo<LimitCase>& info) {
                             return info.param.name;
                         });

// --- Killed runs ---------------------------------------------------------------------------

#ifndef _WIN32
// Kills its own process at a chosen point of the run, as a crash or a power cut would end it.
class KilledProcessor : public RecordingProcessor {
public:
    void Log(const std::string& text) override {
        RecordingProcessor::Log(text);
        if (text.starts_with(killAt) && ++seen == occurrence)
            std::raise(SIGKILL);
    }
    void CompactionProgress(std::uint64_t, std::uint64_t) override {
        if (killInCompaction)
            std::raise(SIGKILL);
    }

    std::string killAt = "\x01"; // no log line starts with it
    int occurrence = 1;
    bool killInCompaction = false;

private:
    int seen = 0;
};
#endif

struct KillCase {
    const char* name;
    std::string killAt;
    int occurrence;
    bool killInCompaction;
    bool sameTarget;
    bool expectNewMap;
};

// The table stays (string 2 is kept by the skin file) so that every step of writing logs.
const Members kKilledMap = {{"war3map.wts", MakeTable({{1, "Footman"}, {2, "Two\nlines"}})},
                            {"war3map.w3u", kBigUnits},
                            {"war3mapSkin.txt", "N=TRIGSTR_002\r\n"},
                            {"war3map.doo", NoiseBytes(300000, 24)}};

class KilledRun : public testing::TestWithParam<KillCase> {};

TEST_P(KilledRun, LeavesTheOldOrTheCompleteNewMap) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a child process (fork) that kills itself (SIGKILL)";
#else
    const KillCase& kill = GetParam();
    ScratchDir dir;
    RecordingProcessor reference;
    reference.SourcePath = MakeMap(dir, "map.w3x", kKilledMap);
    reference.TargetPath = dir.File("new.w3x");
    ASSERT_EQ(reference.RunCatching(), "");
    const std::string oldMap = ReadFileBytes(reference.SourcePath);
    const std::string newMap = ReadFileBytes(reference.TargetPath);
    fs::remove(reference.TargetPath);

    KilledProcessor run;
    run.SourcePath = reference.SourcePath;
    run.TargetPath = kill.sameTarget ? run.SourcePath : dir.File("out.w3x");
    const std::string oldTarget = kill.sameTarget ? oldMap : "an older map";
    WriteFileBytes(run.TargetPath, oldTarget);
    run.killAt = kill.killAt;
    run.occurrence = kill.occurrence;
    run.killInCompaction = kill.killInCompaction;

    EXPECT_TRUE(RunInChild([&run] { return runCatching(run); }).killed);
    EXPECT_TRUE(ReadFileBytes(run.TargetPath) == (kill.expectNewMap ? newMap : oldTarget));
    if (!kill.sameTarget) {
        EXPECT_TRUE(ReadFileBytes(run.SourcePath) == oldMap);
    }
    const std::string targetName = fs::path(run.TargetPath).filename().string();
    const std::set<std::string> files = kill.sameTarget
                                            ? std::set<std::string>{"map.w3x"}
                                            : std::set<std::string>{"map.w3x", "out.w3x"};
    EXPECT_EQ(entriesBesideLeftovers(dir.Path(), targetName), files);
#endif
}

constexpr bool kSame = true;
constexpr bool kOther = false;

INSTANTIATE_TEST_SUITE_P(
    Points, KilledRun,
    testing::Values(
        KillCase{"AfterTheCopy", "     Copied old map file", 1, false, kOther, false},
        KillCase{"AfterTheTable", "     Added war3map.wts", 1, false, kOther, false},
        KillCase{"AfterTheTableInPlace", "     Added war3map.wts", 1, false, kSame, false},
        KillCase{"BetweenMembers", "     Added war3map.w3u", 1, false, kOther, false},
        KillCase{"BetweenMembersInPlace", "     Added war3map.w3u", 1, false, kSame, false},
        KillCase{"AfterTheLastMember", "     Removed attributes file", 1, false, kOther, false},
        KillCase{"BeforeCompaction", "Compacting new map file...", 1, false, kSame, false},
        KillCase{"DuringCompaction", "\x01", 1, true, kOther, false},
        KillCase{"DuringCompactionInPlace", "\x01", 1, true, kSame, false},
        KillCase{"AfterCompaction", "     Done", 2, false, kOther, false},
        KillCase{"AfterCompactionInPlace", "     Done", 2, false, kSame, false},
        KillCase{"AtTheEnd", "Everything done.", 1, false, kOther, true},
        KillCase{"AtTheEndInPlace", "Everything done.", 1, false, kSame, true}),
    [](const testing::TestParamInfo<KillCase>& info) { return info.param.name; });

// Kills at moments spread over a whole run of a larger map, so that some land inside the
// library's own writing, where no log line is written.
TEST(KilledRun, AtAnyMomentLeavesTheOldOrTheCompleteNewMap) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a child process (fork) to kill (SIGKILL)";
#else
    ScratchDir dir;
    const Members bigMap = {{"war3map.wts", MakeTable({{1, "Footman"}, {2, "Two\nlines"}})},
                            {"war3map.w3u", NoiseBytes(2 << 20, 25) + "TRIGSTR_001"},
                            {"war3mapSkin.txt", "N=TRIGSTR_002\r\n"},
                            {"war3map.doo", NoiseBytes(6 << 20, 26)}};
    RecordingProcessor reference;
    reference.SourcePath = MakeMap(dir, "map.w3x", bigMap);
    reference.TargetPath = dir.File("new.w3x");
    ASSERT_EQ(reference.RunCatching(), "");
    const std::string oldMap = ReadFileBytes(reference.SourcePath);
    const std::string newMap = ReadFileBytes(reference.TargetPath);
    fs::remove(reference.TargetPath);

    RecordingProcessor run;
    run.SourcePath = reference.SourcePath;
    run.TargetPath = run.SourcePath;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RunInChild([&run] { return runCatching(run); }).message, "");
    const auto duration = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);

    // From a third of the run's time to a quarter beyond it: the early kills end the run
    // while it extracts, the late ones after it has replaced the map.
    constexpr int kMoments = 12;
    for (int moment = 1; moment <= kMoments; ++moment) {
        WriteFileBytes(run.SourcePath, oldMap);
        const auto delay = duration * (moment + 3) / kMoments;
        SCOPED_TRACE("killed after " + std::to_string(delay.count()) + " us");
        RunInChild([&run] { return runCatching(run); }, delay);
        const std::string result = ReadFileBytes(run.SourcePath);
        EXPECT_TRUE(result == oldMap || result == newMap) << "a map in between";
        EXPECT_EQ(entriesBesideLeftovers(dir.Path(), "map.w3x"),
                  (std::set<std::string>{"map.w3x"}));
        for (const std::string& entry : FolderEntries(dir.Path())) {
            if (entry != "map.w3x")
                fs::remove_all(dir.Path() / entry);
        }
    }
#endif
}

} // namespace
} // namespace parlune::test
