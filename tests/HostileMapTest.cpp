// Maps from strangers: every damaged or hostile map ends in a clear error with nothing
// changed, or in a correct run; never in a crash, a hang or a runaway allocation.

#include "tests/support/MpqSurgery.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace parlune::test {
namespace {

const std::string kTable = MakeTable({{1, "Footman"}, {2, "Knight"}});

std::string script(std::size_t lines) {
    std::string text;
    for (std::size_t i = 0; i < lines; ++i)
        text += "call DisplayText(\"TRIGSTR_001\") // line " + std::to_string(i) + "\r\n";
    return text;
}

// Runs on source and checks that the run failed with message and changed nothing.
void expectRefused(const std::string& source, const std::string& message) {
    const std::string before = ReadFileBytes(source);
    RecordingProcessor run;
    run.SourcePath = source;
    run.TargetPath = source + ".new.w3x";
    EXPECT_EQ(run.RunCatching(), message);
    EXPECT_EQ(ReadFileBytes(source), before);
    EXPECT_FALSE(std::filesystem::exists(run.TargetPath));
    EXPECT_EQ(run.controlSwitches.back(), true);
}

class HostileMap : public testing::Test {
protected:
    std::string makeMap(const Members& members) {
        Kestmarlapi::NewArchiveOptions options;
        options.withAttributes = false;
        return MakeMap(dir, "hostile.w3x", members, options);
    }
    ScratchDir dir;
};

// The library drops such a member silently, so the map is refused as a whole: read as it
// is, the member would look absent and the strings it needs would be pruned.
TEST_F(HostileMap, AHugeDeclaredSizeIsRefused) {
    const std::string map = makeMap({{"war3map.wts", kTable}, {"war3map.j", script(50)}});
    MpqSurgery surgery(map);
    const std::uint32_t block = surgery.BlockOf("war3map.j");
    BlockEntry entry = surgery.Block(block);
    entry.fileSize = 0xF0000000; // 3.75 GiB declared, a few hundred bytes stored
    surgery.SetBlock(block, entry);
    surgery.Save();
    expectRefused(map, "Error opening map file!");
}

TEST_F(HostileMap, AMemberDeclaredOverTheCapIsRefusedBeforeReading) {
    // Stored in one unit, the member has no sector table that its size would have to fit. Only
    // an archive that is no Warcraft III map knows that way of storing.
    Kestmarlapi::NewArchiveOptions options;
    options.header = std::string(512, '\0');
    const std::string map =
        MakeMap(dir, "unit.w3x",
                {{"war3map.wts", kTable},
                 {"war3map.j", script(50), Kestmarlapi::MemberStorage::SingleUnit}},
                options);
    MpqSurgery surgery(map);
    const std::uint32_t block = surgery.BlockOf("war3map.j");
    BlockEntry entry = surgery.Block(block);
    entry.fileSize = 300u << 20;
    surgery.SetBlock(block, entry);
    surgery.Save();
    expectRefused(map, "war3map.j is too large (314572800 bytes)!");
}

TEST_F(HostileMap, TablesOutsideTheFileAreNotAnArchive) {
    for (const std::size_t field : {offsetof(Kestmarlapi::ArchiveHeader, hashTablePos),
                                    offsetof(Kestmarlapi::ArchiveHeader, blockTablePos)}) {
        const std::string map = makeMap({{"war3map.wts", kTable}});
        MpqSurgery surgery(map);
        surgery.SetHeaderField(field, 0x7FFFFF00);
        surgery.Save();
        expectRefused(map, "Error opening map file!");
    }
}

TEST_F(HostileMap, TablesLargerThanTheFileAreNotAllocated) {
    for (const std::size_t field : {offsetof(Kestmarlapi::ArchiveHeader, hashTableSize),
                                    offsetof(Kestmarlapi::ArchiveHeader, blockTableSize)}) {
        const std::string map = makeMap({{"war3map.wts", kTable}});
        MpqSurgery surgery(map);
        surgery.SetHeaderField(field, 0x08000000); // two gigabytes of table
        surgery.Save();
        expectRefused(map, "Error opening map file!");
    }
}

TEST_F(HostileMap, AnAbsurdSectorSizeIsRefused) {
    const std::string map = makeMap({{"war3map.wts", kTable}, {"war3map.j", script(50)}});
    MpqSurgery surgery(map);
    constexpr std::size_t kVersionAndSectorShift = 12;
    // A shift of 127 makes the library's sector size wrap to 0, which it divides by.
    surgery.SetHeaderField(kVersionAndSectorShift, 127u << 16);
    surgery.Save();
    expectRefused(map, "Error opening map file!");
}

TEST_F(HostileMap, ABlockTableCutShortIsRefused) {
    const std::string map = makeMap({{"war3map.wts", kTable}, {"war3map.j", script(3)}});
    MpqSurgery surgery(map);
    // The block table is the last thing in the file: eight more entries run past its end.
    surgery.SetHeaderField(offsetof(Kestmarlapi::ArchiveHeader, blockTableSize),
                           surgery.BlockCount() + 8);
    surgery.Save();
    expectRefused(map, "Error opening map file!");
}

// Declares a block table far past the end of the file and an archive size that fits neither
// it nor the file, as protectors do.
void protectTables(const std::string& map, std::uint32_t archiveSize) {
    MpqSurgery surgery(map);
    surgery.SetHeaderField(offsetof(Kestmarlapi::ArchiveHeader, archiveSize), archiveSize);
    surgery.SetHeaderField(offsetof(Kestmarlapi::ArchiveHeader, blockTableSize), 0x00100000);
    surgery.Save();
}

// Puts a user data header in front of the archive, which moves on by 512 bytes. In a map the
// game and the library pass over it to the archive header.
void insertUserData(const std::string& map) {
    const auto word = [](std::uint32_t value) {
        return std::string(reinterpret_cast<const char*>(&value), sizeof value);
    };
    const std::string userData = "MPQ\x1B" + word(16) + word(512) + word(16);
    std::string bytes = ReadFileBytes(map);
    bytes.insert(512, userData + std::string(512 - userData.size(), '\0'));
    WriteFileBytes(map, bytes);
}

void cutShort(const std::string& map) {
    const std::string bytes = ReadFileBytes(map);
    WriteFileBytes(map, bytes.substr(0, bytes.size() - 8)); // the block table comes last
}

struct HeaderCase {
    const char* name;
    std::function<void(const std::string& map)> alter;
    std::string message;
};

// A protector's header is no broken file, and the message says what to do instead; a map cut
// short, whose tables run past its end just the same, is damaged.
TEST_F(HostileMap, AProtectorsHeaderIsToldFromAMapCutShort) {
    const std::string protectedMap =
        "Error opening map file! The map is protected; use Parlune on the map before "
        "protecting it.";
    const HeaderCase cases[] = {
        {"archive size past the file",
         [](const std::string& map) { protectTables(map, 0xFFFFFFFF); }, protectedMap},
        {"behind a user data header",
         [](const std::string& map) {
             protectTables(map, 0);
             insertUserData(map);
         },
         protectedMap},
        {"cut short", cutShort, "Error opening map file!"},
    };
    for (const HeaderCase& header : cases) {
        SCOPED_TRACE(header.name);
        const std::string map = makeMap({{"war3map.wts", kTable}, {"war3map.j", script(3)}});
        header.alter(map);
        expectRefused(map, header.message);
    }
}

TEST_F(HostileMap, AStoredMemberLongerThanItsSizeIsRefused) {
    Kestmarlapi::NewArchiveOptions options;
    options.withAttributes = false;
    const std::string map =
        MakeMap(dir, "stored.w3x", {{"war3map.wts", kTable}, {"war3map.j", script(50)}}, options);
    MpqSurgery surgery(map);
    const std::uint32_t block = surgery.BlockOf("war3map.j");
    BlockEntry entry = surgery.Block(block);
    // Marked as stored without compression, but taking more bytes than its size.
    entry.flags &= ~0x0000FF00u;
    entry.fileSize = entry.compressedSize - 8;
    surgery.SetBlock(block, entry);
    surgery.Save();
    expectRefused(map, "Error opening map file!");
}

TEST_F(HostileMap, UnknownBlockFlagsAreRefused) {
    const std::string map = makeMap({{"war3map.wts", kTable}, {"war3map.j", script(50)}});
    MpqSurgery surgery(map);
    const std::uint32_t block = surgery.BlockOf("war3map.j");
    BlockEntry entry = surgery.Block(block);
    entry.flags |= 0x40000000;
    surgery.SetBlock(block, entry);
    surgery.Save();
    expectRefused(map, "Error opening map file!");
}

// Past the end of the file the library reads a header out of whatever its buffer held before,
// and it asserts on headers of another archive format: a file ending in the start of one is
// refused.
TEST_F(HostileMap, AHeaderCutOffByTheEndIsRefused) {
    // An archive header the library passes over, as it declares fewer than 32 bytes.
    std::string bytes = "MPQ\x1A" + std::string(508, '\0');
    const std::string map = dir.File("cut.w3x");
    WriteFileBytes(map, bytes + "MPK\x1A\x56\x3E");
    expectRefused(map, "Error opening map file!");
}

// The library asserts on opening a map whose "(signature)" names a block it does not take as a
// member.
TEST_F(HostileMap, ASignatureOfNoMemberIsRefused) {
    Kestmarlapi::NewArchiveOptions options;
    options.withAttributes = false;
    options.signWeak = true;
    const std::string map = MakeMap(dir, "signed.w3x", {{"war3map.wts", kTable}}, options);
    for (const auto& [name, alter] :
         std::vector<std::pair<const char*, std::function<void(BlockEntry&)>>>{
             {"not existing", [](BlockEntry& entry) { entry.flags &= 0x7FFFFFFF; }},
             {"2 GiB", [](BlockEntry& entry) { entry.fileSize = 0x80000000; }},
             {"past the end", [](BlockEntry& entry) { entry.filePos = 0x7FFFFFFF; }}}) {
        SCOPED_TRACE(name);
        const std::string altered = dir.File(std::string(name) + ".w3x");
        std::filesystem::copy_file(map, altered);
        MpqSurgery surgery(altered);
        const std::uint32_t block = surgery.BlockOf("(signature)");
        BlockEntry entry = surgery.Block(block);
        alter(entry);
        surgery.SetBlock(block, entry);
        surgery.Save();
        expectRefused(altered, "Error opening map file!");
    }
}

TEST_F(HostileMap, AMemberPointingPastTheEndIsRefused) {
    const std::string map = makeMap({{"war3map.wts", kTable}, {"war3map.j", script(50)}});
    MpqSurgery surgery(map);
    const std::uint32_t block = surgery.BlockOf("war3map.j");
    BlockEntry entry = surgery.Block(block);
    entry.filePos = 0x7FFF0000;
    surgery.SetBlock(block, entry);
    surgery.Save();
    expectRefused(map, "Error opening map file!");
}

// Compaction reads the sector offset table of every member, even of those the run never
// reads; the library overran its buffer on a table whose length was no multiple of four.
TEST_F(HostileMap, AMemberWithABrokenSectorTableIsRefused) {
    const std::vector<std::pair<const char*, std::function<void(MpqSurgery&, std::uint32_t)>>>
        cases = {{"no whole entries",
                  [](MpqSurgery& map, std::uint32_t block) {
                      map.SetMemberWord(block, 0, map.MemberWord(block, 0) + 1);
                  }},
                 {"longer than its entries",
                  [](MpqSurgery& map, std::uint32_t block) {
                      map.SetMemberWord(block, 0, map.MemberWord(block, 0) + 4);
                  }},
                 {"sectors not rising",
                  [](MpqSurgery& map, std::uint32_t block) {
                      map.SetMemberWord(block, 2, map.MemberWord(block, 1));
                  }},
                 {"past the member's end", [](MpqSurgery& map, std::uint32_t block) {
                      const std::size_t last = map.MemberWord(block, 0) / 4 - 1;
                      map.SetMemberWord(block, last, map.Block(block).compressedSize + 1);
                  }}};
    for (const auto& [name, breakTable] : cases) {
        for (const char* member : {"war3map.j", "war3map.doo"}) {
            SCOPED_TRACE(std::string(name) + " in " + member);
            const std::string map = makeMap({{"war3map.wts", kTable},
                                             {"war3map.j", script(200)},
                                             {"war3map.doo", script(200)}});
            MpqSurgery surgery(map);
            breakTable(surgery, surgery.BlockOf(member));
            surgery.Save();
            expectRefused(map, "Error opening map file!");
        }
    }
}

// The library reads sector checksums into a buffer of one checksum a sector, by the length the
// sector table gives them (found by fuzzing).
TEST_F(HostileMap, ChecksumsLongerThanTheirTableAreRefused) {
    for (const char* member : {"war3map.j", "war3map.doo"}) {
        SCOPED_TRACE(member);
        const auto storage = Kestmarlapi::MemberStorage::WithSectorChecksums;
        const std::string map = makeMap({{"war3map.wts", kTable},
                                         {"war3map.j", script(200), storage},
                                         {"war3map.doo", script(200), storage}});
        MpqSurgery surgery(map);
        const std::uint32_t block = surgery.BlockOf(member);
        // The table ends with the end of the data, then the end of the checksums.
        const std::size_t dataEnd = surgery.MemberWord(block, 0) / 4 - 2;
        surgery.SetMemberWord(block, dataEnd, surgery.MemberWord(block, dataEnd) - 16);
        surgery.Save();
        expectRefused(map, "Error opening map file!");
    }
}

TEST_F(HostileMap, ASectorCompressedByAnUnknownMethodIsAReadFailure) {
    for (const std::uint8_t methods : {0x12, 0x20}) { // LZMA, which maps lack, and sparse
        SCOPED_TRACE(static_cast<int>(methods));
        const std::string map = makeMap({{"war3map.wts", kTable}, {"war3map.j", script(200)}});
        MpqSurgery surgery(map);
        const std::uint32_t block = surgery.BlockOf("war3map.j");
        // The first sector follows the offset table; its first byte names the method.
        const std::size_t firstSector = surgery.MemberWord(block, 0) / 4;
        const std::uint32_t word = surgery.MemberWord(block, firstSector);
        surgery.SetMemberWord(block, firstSector, (word & ~0xFFu) | methods);
        surgery.Save();
        expectRefused(map, "Error reading war3map.j from map!");
    }
}

// Only sounds are compressed with Huffman and ADPCM, whose decoders crash on crafted data; a
// member the run reads is refused when it is.
TEST_F(HostileMap, AMemberCompressedLikeASoundIsAReadFailure) {
    const std::string map = makeMap(
        {{"war3map.wts", kTable}, {"war3map.j", script(200), Kestmarlapi::MemberStorage::Sound}});
    expectRefused(map, "Error reading war3map.j from map!");
}

TEST_F(HostileMap, MarkersWithThousandsOfDigits) {
    const std::string nines(5000, '9');
    const std::string tooLong =
        makeMap({{"war3map.wts", kTable}, {"war3map.j", "call X(\"TRIGSTR_" + nines + "\")\r\n"}});
    expectRefused(tooLong, "'" + nines + "' ist kein gültiger Integerwert");

    const std::string padded = makeMap(
        {{"war3map.wts", kTable}, {"war3map.j", "X(\"TRIGSTR_" + std::string(5000, '0') + "2\")"}});
    RecordingProcessor run;
    run.SourcePath = padded;
    run.TargetPath = dir.File("padded.w3x");
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_EQ(ReadMember(run.TargetPath, "war3map.j"), "X(\"Knight\")");
}

TEST_F(HostileMap, AMillionEmptyEntries) {
    std::string table = "\xEF\xBB\xBF";
    for (int id = 0; id < 1'000'000; ++id)
        table += "STRING " + std::to_string(id) + "\r\n{\r\n}\r\n";
    const std::string map =
        makeMap({{"war3map.wts", table}, {"war3map.w3u", std::string("TRIGSTR_999999\0", 15)}});
    RecordingProcessor run;
    run.SourcePath = map;
    run.TargetPath = dir.File("million.w3x");
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_EQ(run.log.at(run.log.size() - 1), "Everything done.");
    EXPECT_NE(std::find(run.log.begin(), run.log.end(),
                        "     Removed 1000000 strings (0 strings retained)"),
              run.log.end());
    EXPECT_EQ(ReadMember(run.TargetPath, "war3map.w3u"), std::string("\0", 1));
    EXPECT_EQ(ReadMember(run.TargetPath, "war3map.wts"), std::nullopt);
}

TEST_F(HostileMap, ATableLineOf100Megabytes) {
    const std::string line(100u << 20, 'a');
    const std::string table = "\xEF\xBB\xBFSTRING 7\r\n{\r\n" + line + "\r\n}\r\n";
    const std::string map =
        makeMap({{"war3map.wts", table}, {"war3map.w3u", std::string("TRIGSTR_7\0", 10)}});
    RecordingProcessor run;
    run.SourcePath = map;
    run.TargetPath = dir.File("long.w3x");
    run.noCompact = true;
    ASSERT_EQ(run.RunCatching(), "");
    // Far over the length limit: the reference stays and the string with it.
    EXPECT_EQ(ReadMember(run.TargetPath, "war3map.w3u"), std::string("TRIGSTR_7\0", 10));
    const auto written = ReadMember(run.TargetPath, "war3map.wts");
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->size(), table.size() + 2); // the table writer adds the empty line
}

TEST_F(HostileMap, MemberNamesWithOddBytesPassThrough) {
    const Members odd = {{"war3map\xE4\xFF.doo", "doodads"},
                         {"Units\\\x01\x7F name.mdx", "model"},
                         {"(odd) \"quoted\" ;|*?.blp", "texture"}};
    Members members = odd;
    members.push_back({"war3map.wts", kTable});
    members.push_back({"war3map.j", "TRIGSTR_1"});
    const std::string map = MakeMap(dir, "odd.w3x", members);
    RecordingProcessor run;
    run.SourcePath = map;
    run.TargetPath = map;
    ASSERT_EQ(run.RunCatching(), "");
    for (const Kestmarlapi::MemberSpec& member : odd)
        EXPECT_EQ(ReadMember(map, member.name), member.data) << member.name;
    EXPECT_EQ(ReadMember(map, "war3map.j"), "Footman");
    const auto listfile = ReadMember(map, "(listfile)");
    ASSERT_TRUE(listfile.has_value());
    for (const Kestmarlapi::MemberSpec& member : odd)
        EXPECT_NE(listfile->find(member.name), std::string::npos) << member.name;
}

} // namespace
} // namespace parlune::test
