// The map written in one pass against the map the archive library's update and compaction
// write: the same steps on the same source give the same members, locale by locale, byte for
// byte once read, for maps of every stored form, with and without "(listfile)", signed weakly
// or strongly.

#include "processing/RebuiltCopy.h"
#include "archive/SectorCompressor.h"
#include "processing/UpdatedCopy.h"
#include "tests/support/WriterFixtures.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

namespace parlune::test {
namespace {

using namespace std::string_literals;
using Kestmarlapi::MemberStorage;
namespace fs = std::filesystem;

constexpr std::uint16_t kGerman = 0x407;
constexpr std::uint16_t kFrench = 0x40C;
const char kStrongSignatureMark[] = "NGIS";

const Members kEveryForm = {
    {"war3map.wts", MakeTable({{1, "Footman"}}), MemberStorage::Encrypted},
    {"war3map.wts", MakeTable({{1, "Fusssoldat"}}), MemberStorage::Deflated, kGerman},
    {"war3map.wts", MakeTable({{1, "Fantassin"}}), MemberStorage::EncryptedByPosition, kFrench},
    {"war3map.j", "call A()\r\n" + std::string(9000, ' '), MemberStorage::Imploded},
    {"war3map.w3u", NoiseBytes(9000, 5), MemberStorage::EncryptedByPosition},
    {"war3map.w3a", NoiseBytes(9000, 6), MemberStorage::WithSectorChecksums},
    {"war3map.w3i", "info", MemberStorage::Plain},
    {"war3map.w3t", ""},
    {"war3map.doo", NoiseBytes(7000, 8) + std::string(7000, 'd'), MemberStorage::Bzip2},
    {"war3map.w3r", NoiseBytes(5000, 9) + std::string(5000, 'r'), MemberStorage::PkwareCompressed},
    {"Sound\\Ambient.wav", NoiseBytes(20000, 7), MemberStorage::Sound},
};

// The same changes through either writer: "(attributes)" goes first, members are replaced,
// removed and added, in the neutral locale and in others.
void writeMap(std::unique_ptr<TargetArchive> target) {
    const auto store = [&](const std::string& name, std::uint16_t locale, const std::string& data) {
        target->Store(name, locale, data.size(),
                      [&](const PieceWriter& write) { return write(data); });
    };
    target->Remove("(attributes)", 0);
    store("war3map.j", 0, "call B()\r\n" + NoiseBytes(20000, 11));
    store("war3map.wts", kGerman, MakeTable({{1, "Ritter"}}));
    target->Remove("war3map.wts", kFrench);
    target->Remove("war3map.w3a", 0);
    store("Scripts\\war3map.j", 0, "call C()");
    target->Compact({});
    target->Finish();
}

struct SourceCase {
    const char* name;
    bool withListfile;
    bool signWeak;
    bool signStrongly; // 4 bytes of mark and 256 of signature behind the archive
};

class OnePassWriter : public testing::TestWithParam<SourceCase> {};

TEST_P(OnePassWriter, WritesWhatTheLibraryWrites) {
    const SourceCase& source = GetParam();
    ScratchDir dir;
    Kestmarlapi::NewArchiveOptions options;
    options.header = Kestmarlapi::MakeMapHeader("Every form");
    options.withListfile = source.withListfile;
    options.signWeak = source.signWeak;
    const std::string map = MakeMap(dir, "map.w3x", kEveryForm, options);
    if (source.signStrongly)
        WriteFileBytes(map, ReadFileBytes(map) + kStrongSignatureMark + NoiseBytes(256, 3));
    const std::string updated = dir.File("updated.w3x");
    const std::string rebuilt = dir.File("rebuilt.w3x");
    writeMap(std::make_unique<UpdatedCopy>(map, updated, [] {}));
    std::unique_ptr<RebuiltCopy> copy = RebuiltCopy::Open(map, rebuilt, [] {});
    ASSERT_NE(copy, nullptr);
    writeMap(std::move(copy));

    Members expected = kEveryForm;
    expected.push_back({"Scripts\\war3map.j", ""});
    expected.push_back({"(listfile)", ""});
    expected.push_back({"(attributes)", ""});
    for (const Kestmarlapi::MemberSpec& member : expected)
        for (const std::uint16_t locale : {std::uint16_t{0}, kGerman, kFrench}) {
            SCOPED_TRACE(member.name + " " + std::to_string(locale));
            EXPECT_EQ(ReadMember(rebuilt, member.name, locale),
                      ReadMember(updated, member.name, locale));
        }
    EXPECT_EQ(ReadMember(rebuilt, "(listfile)").has_value(), source.withListfile);
    const auto signature =
        source.signWeak ? Kestmarlapi::WeakSignature::Valid : Kestmarlapi::WeakSignature::None;
    EXPECT_EQ(Kestmarlapi::VerifyWeakSignature(updated), signature);
    EXPECT_EQ(Kestmarlapi::VerifyWeakSignature(rebuilt), signature);
    // A strong signature no longer matches the changed archive; both writers drop it.
    for (const std::string& written : {updated, rebuilt})
        EXPECT_EQ(ReadFileBytes(written).find(kStrongSignatureMark), std::string::npos);
    EXPECT_LE(fs::file_size(rebuilt), fs::file_size(updated));
}

INSTANTIATE_TEST_SUITE_P(Sources, OnePassWriter,
                         testing::Values(SourceCase{"Listed", true, false, false},
                                         SourceCase{"Unlisted", false, false, false},
                                         SourceCase{"SignedWeakly", true, true, false},
                                         SourceCase{"SignedStrongly", true, false, true}),
                         [](const testing::TestParamInfo<SourceCase>& info) {
                             return info.param.name;
                         });

// A member whose key depends on its position, stored without compression and named by no
// listfile, gives no clue to its key: only the library's update in place keeps it, and the run
// takes that way.
TEST(OnePassWriter, LeavesAMemberOfUnknownKeyToTheUpdateInPlace) {
    ScratchDir dir;
    Kestmarlapi::NewArchiveOptions options;
    options.withListfile = false;
    const Members members = {
        {"war3map.wts", MakeTable({{1, "Footman"}})},
        {"war3map.w3u", "unam TRIGSTR_001"},
        {"secret.dat", NoiseBytes(3000, 4), MemberStorage::PlainEncryptedByPosition}};
    RecordingProcessor run;
    run.SourcePath = MakeMap(dir, "map.w3x", members, options);
    run.TargetPath = dir.File("out.w3x");
    EXPECT_EQ(RebuiltCopy::Open(run.SourcePath, run.TargetPath, [] {}), nullptr);
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_TRUE(ReadMember(run.TargetPath, "secret.dat") == NoiseBytes(3000, 4));
    EXPECT_EQ(ReadMember(run.TargetPath, "war3map.w3u"), "unam Footman");
}

// One sector as zlib inflates it; empty when it does not inflate to exactly length bytes.
std::string inflated(std::string_view packed, std::size_t length) {
    std::string plain(length, '\0');
    z_stream stream{};
    inflateInit(&stream);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = reinterpret_cast<Bytef*>(plain.data());
    stream.avail_out = static_cast<uInt>(length);
    const bool whole = inflate(&stream, Z_FINISH) == Z_STREAM_END && stream.avail_out == 0;
    inflateEnd(&stream);
    return whole ? plain : std::string();
}

// A compressed member read back sector by sector, as archive readers read it.
std::string inflatedSectors(const std::string& stored, std::uint32_t sectorSize, std::size_t size) {
    const std::size_t sectors = (size + sectorSize - 1) / sectorSize;
    std::vector<std::uint32_t> offsets(sectors + 1);
    std::memcpy(offsets.data(), stored.data(), offsets.size() * sizeof(std::uint32_t));
    std::string plain;
    for (std::size_t i = 0; i < sectors; ++i) {
        const std::string_view sector(stored.data() + offsets[i], offsets[i + 1] - offsets[i]);
        const std::size_t length = std::min<std::size_t>(sectorSize, size - i * sectorSize);
        if (sector.size() == length)
            plain += sector;
        else if (sector[0] == '\x02')
            plain += inflated(sector.substr(1), length);
    }
    return plain;
}

// Text that compresses and noise that does not, over several batches of two workers, arriving
// in pieces that end anywhere in a sector.
TEST(SectorCompressor, GivesBackWhatItTook) {
    const std::string plain = std::string(3'000'000, 'a') + NoiseBytes(2'500'000, 12) + "end";
    Kestmarlapi::SectorCompressor compressor(4096, static_cast<std::uint32_t>(plain.size()), 2);
    constexpr std::size_t kPiece = 7919;
    for (std::size_t at = 0; at < plain.size(); at += kPiece)
        ASSERT_TRUE(compressor.Add(std::string_view(plain).substr(at, kPiece)));
    const std::string stored = compressor.Finish();
    EXPECT_LT(stored.size(), plain.size());
    EXPECT_TRUE(inflatedSectors(stored, 4096, plain.size()) == plain);
    // Pieces that do not add up to the size announced give nothing.
    for (const char* pieces : {"ab", "abcd"}) {
        Kestmarlapi::SectorCompressor wrong(4096, 3, 2);
        wrong.Add(pieces);
        EXPECT_EQ(wrong.Finish(), "");
    }
}

} // namespace
} // namespace parlune::test
