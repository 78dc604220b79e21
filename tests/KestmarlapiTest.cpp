// The binding's ways round the archive library's traps, each checked on a real archive.

#include "archive/Kestmarlapi.h"
#include "archive/ArchiveFormat.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace parlune::test {
namespace {

using namespace Kestmarlapi;

constexpr std::size_t kArchiveOffset = 512; // after the map header

ArchiveHandle openForUpdate(const std::string& path) {
    return MpqOpenArchiveForUpdate(path);
}

bool store(Archive& archive, const std::string& name, const std::string& data) {
    return StoreMember(archive, name, data);
}

std::string randomBytes(std::size_t size) {
    std::mt19937 generator(7);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

TEST(Kestmarlapi, ReplacesMembersOfAnArchiveWithoutListfile) {
    ScratchDir dir;
    NewArchiveOptions options;
    options.withListfile = false;
    const std::string map =
        MakeMap(dir, "nolist.w3x", {{"war3map.j", "old"}, {"war3map.w3u", "u"}}, options);

    ArchiveHandle archive = openForUpdate(map);
    ASSERT_NE(archive, nullptr);
    EXPECT_TRUE(store(*archive, "war3map.j", "new script"));
    EXPECT_EQ(MpqDeleteFile(*archive, "war3map.w3u"), DeleteResult::Deleted);
    ASSERT_TRUE(MpqCloseUpdatedArchive(std::move(archive)));

    EXPECT_EQ(ReadMember(map, "war3map.j"), "new script");
    EXPECT_EQ(ReadMember(map, "war3map.w3u"), std::nullopt);
}

// A member handed over in pieces of every size, empty ones and ones that cross the
// library's sectors among them, is stored as the bytes joined.
TEST(Kestmarlapi, StoresAMemberHandedOverInPieces) {
    ScratchDir dir;
    const std::string map = MakeMap(dir, "pieces.w3x", {{"war3map.j", "old"}});
    const std::string bytes = randomBytes(100'000);
    const auto pieces = [&](const PieceWriter& write) {
        std::size_t at = 0;
        for (std::size_t length = 0; at < bytes.size(); length = (length * 7 + 3) % 9000) {
            if (!write(std::string_view(bytes).substr(at, length)))
                return false;
            at += std::min(length, bytes.size() - at);
        }
        return true;
    };
    ArchiveHandle archive = openForUpdate(map);
    ASSERT_NE(archive, nullptr);
    EXPECT_TRUE(MpqAddFileFromPieces(*archive, static_cast<std::uint32_t>(bytes.size()), pieces,
                                     "war3map.j"));
    ASSERT_TRUE(MpqCloseUpdatedArchive(std::move(archive)));
    EXPECT_EQ(ReadMember(map, "war3map.j"), bytes);
}

// Pieces that come to fewer or more bytes than announced fail the store and the close.
TEST(Kestmarlapi, PiecesThatMissTheAnnouncedSizeAreAFailure) {
    ScratchDir dir;
    for (const std::uint32_t announced : {9u, 11u}) {
        const std::string map =
            MakeMap(dir, "size" + std::to_string(announced) + ".w3x", {{"war3map.j", "old"}});
        const auto tenBytes = [](const PieceWriter& write) {
            return write("01234") && write("") && write("56789");
        };
        ArchiveHandle archive = openForUpdate(map);
        ASSERT_NE(archive, nullptr);
        EXPECT_FALSE(MpqAddFileFromPieces(*archive, announced, tenBytes, "war3map.j")) << announced;
        EXPECT_FALSE(MpqCloseUpdatedArchive(std::move(archive))) << announced;
    }
}

TEST(Kestmarlapi, AttributesAreGoneFromTheWrittenArchive) {
    ScratchDir dir;
    const std::string map = MakeMap(dir, "attr.w3x", {{"war3map.j", "s"}, {"war3map.w3a", "a"}});
    ASSERT_TRUE(ReadMember(map, "(attributes)").has_value());

    ArchiveHandle archive = openForUpdate(map);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(MpqDeleteFile(*archive, "(attributes)"), DeleteResult::Deleted);
    EXPECT_TRUE(store(*archive, "war3map.j", "changed"));
    ASSERT_EQ(MpqCompactArchive(*archive), CompactResult::Compacted);
    ASSERT_TRUE(MpqCloseUpdatedArchive(std::move(archive)));

    EXPECT_EQ(ReadMember(map, "(attributes)"), std::nullopt);
    EXPECT_EQ(ReadMember(map, "war3map.j"), "changed");
    EXPECT_EQ(ReadMember(map, "war3map.w3a"), "a");
}

TEST(Kestmarlapi, ReportsNoAttributesWhenThereWereNone) {
    ScratchDir dir;
    NewArchiveOptions options;
    options.withAttributes = false;
    const std::string map = MakeMap(dir, "plain.w3x", {{"war3map.j", "s"}}, options);

    ArchiveHandle archive = openForUpdate(map);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(MpqDeleteFile(*archive, "(attributes)"), DeleteResult::Absent);
    EXPECT_TRUE(store(*archive, "war3map.j", "changed"));
    ASSERT_TRUE(MpqCloseUpdatedArchive(std::move(archive)));
    EXPECT_EQ(ReadMember(map, "(attributes)"), std::nullopt);
}

TEST(Kestmarlapi, DeletingAnAbsentMemberReportsNothingDeleted) {
    ScratchDir dir;
    const std::string map = MakeMap(dir, "m.w3x", {{"war3map.j", "s"}});
    ArchiveHandle archive = openForUpdate(map);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(MpqDeleteFile(*archive, "war3map.wts"), DeleteResult::Absent);
    EXPECT_TRUE(MpqCloseUpdatedArchive(std::move(archive)));
}

#ifndef _WIN32
// In a child process whose files may not grow past limit bytes: opens map for update, stores
// data and closes. Exits 0 when both the store and the close reported failure.
int storePastFileSizeLimit(const std::string& map, const std::string& data, rlim_t limit) {
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit cap{limit, limit};
        setrlimit(RLIMIT_FSIZE, &cap);
        ArchiveHandle archive = openForUpdate(map);
        if (archive == nullptr)
            _exit(3);
        const bool stored = store(*archive, "war3map.w3u", data);
        const bool closed = MpqCloseUpdatedArchive(std::move(archive));
        _exit(!stored && !closed ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

TEST(Kestmarlapi, AFailedWriteIsReportedByTheStoreAndTheClose) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a file-size limit (setrlimit) in a child process (fork)";
#else
    ScratchDir dir;
    const std::string map = MakeMap(dir, "full.w3x", {{"war3map.w3u", "small"}});
    const auto mapSize = static_cast<rlim_t>(ReadFileBytes(map).size());
    EXPECT_EQ(storePastFileSizeLimit(map, randomBytes(1 << 20), mapSize + 64 * 1024), 0);
#endif
}

TEST(Kestmarlapi, ADamagedArchiveIsNotOpenedForUpdate) {
    ScratchDir dir;
    NewArchiveOptions options;
    options.withAttributes = false; // nothing to remove: only the read-only check can refuse
    const std::string map = MakeMap(dir, "damaged.w3x", {{"war3map.j", "s"}}, options);
    std::string bytes = ReadFileBytes(map);
    bytes[kArchiveOffset + offsetof(ArchiveHeader, version)] =
        7; // unknown format: opened read-only
    WriteFileBytes(map, bytes);

    EXPECT_EQ(openForUpdate(map), nullptr);
    EXPECT_EQ(ReadFileBytes(map), bytes);
    EXPECT_EQ(ReadMember(map, "war3map.j"), "s"); // still readable
}

// Bytes that look like headers: another archive format's, an archive header whose tables lie
// far outside the file, and a user data header pointing to such an archive header.
std::vector<std::string> headerLookalikes() {
    const auto word = [](std::uint32_t value) {
        return std::string(reinterpret_cast<const char*>(&value), sizeof value);
    };
    const std::string archive = "MPQ\x1A" + word(32) + word(0) + word(0) + word(0x7FFFFF00) +
                                word(0x7FFFFF00) + word(16) + word(16);
    const std::string userData = "MPQ\x1B" + word(16) + word(512) + word(16);
    return {"MPK\x1A" + archive.substr(4), archive,
            userData + std::string(512 - userData.size(), '\0') + archive};
}

bool opens(const std::string& path) {
    return SFileOpenArchive(path) != nullptr;
}

// The file's bytes with lookalike after them, starting at a 512-byte boundary.
std::string withLookalike(std::string bytes, const std::string& lookalike) {
    bytes.resize((bytes.size() + 511) / 512 * 512, '\0');
    return bytes + lookalike + std::string(512, '\0');
}

// In a Warcraft III map the library takes the first archive header and nothing after it: member
// bytes that happen to look like a header further on leave the map readable.
TEST(Kestmarlapi, AMapIsReadByItsFirstArchiveHeaderOnly) {
    ScratchDir dir;
    const std::string map = MakeMap(dir, "lookalike.w3x", {{"war3map.j", "script"}});
    const std::string bytes = ReadFileBytes(map);
    for (const std::string& lookalike : headerLookalikes()) {
        WriteFileBytes(map, withLookalike(bytes, lookalike));
        EXPECT_EQ(ReadMember(map, "war3map.j"), "script") << lookalike.substr(0, 4);
    }
}

// Elsewhere the library chooses among the headers by rules of its own: an archive without the
// map header, one named for another game, and a map whose first archive header declares a later
// version of the format, which some versions of the library may pass over as fake, are refused
// when any of their headers is not sane.
TEST(Kestmarlapi, AnArchiveOutsideAMapNeedsEveryHeaderSane) {
    ScratchDir dir;
    const std::string map = MakeMap(dir, "plain.w3x", {{"war3map.j", "script"}});
    const std::string bytes = ReadFileBytes(map);
    std::string withoutMapHeader = bytes;
    withoutMapHeader.replace(0, 4, 4, '\0');
    std::string laterVersion = bytes;
    laterVersion[kArchiveOffset + offsetof(ArchiveHeader, version)] = 1;
    const std::string otherGame = dir.File("other.scx");
    const std::vector<std::pair<std::string, std::string>> files = {
        {map, withoutMapHeader}, {otherGame, bytes}, {dir.File("later.w3x"), laterVersion}};
    for (const auto& [path, archive] : files) {
        for (const std::string& lookalike : headerLookalikes()) {
            WriteFileBytes(path, withLookalike(archive, lookalike));
            EXPECT_FALSE(opens(path)) << path << " " << lookalike.substr(0, 4);
        }
        WriteFileBytes(path, archive);
        EXPECT_EQ(ReadMember(path, "war3map.j"), "script") << path;
    }
}

TEST(Kestmarlapi, NamesUseBackslashesAndIgnoreLetterCase) {
    ScratchDir dir;
    const std::string map =
        MakeMap(dir, "names.w3x", {{"Scripts/war3map.j", "slash"}, {"WAR3MAP.W3U", "upper"}});
    EXPECT_EQ(ReadMember(map, "Scripts\\war3map.j"), std::nullopt);
    EXPECT_EQ(ReadMember(map, "Scripts/war3map.j"), "slash");
    EXPECT_EQ(ReadMember(map, "war3map.w3u"), "upper");
}

TEST(Kestmarlapi, DamagedMemberDataIsAReadFailure) {
    ScratchDir dir;
    NewArchiveOptions options;
    options.withListfile = false;
    options.withAttributes = false;
    std::string script;
    for (int line = 0; script.size() < 20000; ++line)
        script += "call DisplayText(" + std::to_string(line) + ")\r\n";
    const std::string map = MakeMap(dir, "corrupt.w3x", {{"war3map.j", script}}, options);
    std::string bytes = ReadFileBytes(map);
    for (std::size_t i = kArchiveOffset + 200; i < kArchiveOffset + 2000; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x55);
    WriteFileBytes(map, bytes);
    EXPECT_FALSE(
        ReadMember(map, "war3map.j").has_value()); // compressed data that no longer inflates
}

} // namespace
} // namespace parlune::test
