// Maps as map editors and map tools store their members: imploded, encrypted (with the key
// adjusted by position or not), with sector checksums, sounds compressed with Huffman and
// ADPCM, empty or not compressed at all, in a signed map. (The game knows no member stored in
// one unit.) Every such map runs, with
// and without compaction, and every member comes out as it went in or as the run rewrote it.

#include "tests/support/WriterFixtures.h"

#include <gtest/gtest.h>

namespace parlune::test {
namespace {

using namespace std::string_literals;
using Kestmarlapi::MemberStorage;

const Members kEveryStoredForm = {
    {"war3map.wts", MakeTable({{1, "Footman"}, {2, "Knight"}, {3, "Tree"}}),
     MemberStorage::Encrypted},
    {"war3map.j", "call DisplayText(\"TRIGSTR_001\")\r\n" + std::string(9000, ' '),
     MemberStorage::Imploded},
    {"war3map.w3u", "unam TRIGSTR_002\0"s + NoiseBytes(6000, 5),
     MemberStorage::EncryptedByPosition},
    {"war3map.w3a", NoiseBytes(9000, 6) + "TRIGSTR_001", MemberStorage::WithSectorChecksums},
    {"war3map.w3i", "TRIGSTR_002", MemberStorage::Plain},
    {"war3map.w3t", ""},
    {"war3map.lua", "DisplayText(\"TRIGSTR_003\")", MemberStorage::Encrypted},
    {"Sound\\Ambient.wav", NoiseBytes(20000, 7), MemberStorage::Sound},
    {"war3map.doo", NoiseBytes(5000, 8), MemberStorage::Plain},
    {"war3map.w3r", NoiseBytes(5000, 9), MemberStorage::WithSectorChecksums},
};

class StoredForms : public testing::TestWithParam<bool> {};

TEST_P(StoredForms, RunAndComeOutAsTheyWentIn) {
    ScratchDir dir;
    Kestmarlapi::NewArchiveOptions options;
    options.header = Kestmarlapi::MakeMapHeader("Stored forms");
    options.signWeak = true;
    RecordingProcessor run;
    run.noCompact = GetParam();
    run.SourcePath = MakeMap(dir, "forms.w3x", kEveryStoredForm, options);
    run.TargetPath = dir.File("out.w3x");
    ASSERT_EQ(run.RunCatching(), "");
    EXPECT_EQ(run.log.back(), "Everything done.");

    const std::map<std::string, std::optional<std::string>> rewritten = {
        {"war3map.wts", std::nullopt},
        {"war3map.lua", "DisplayText(\"Tree\")"},
        {"war3map.j", "call DisplayText(\"Footman\")\r\n" + std::string(9000, ' ')},
        {"war3map.w3u", "unam Knight\0"s + NoiseBytes(6000, 5)},
        {"war3map.w3a", NoiseBytes(9000, 6) + "Footman"},
        {"war3map.w3i", "Knight"}};
    for (const Kestmarlapi::MemberSpec& member : kEveryStoredForm) {
        SCOPED_TRACE(member.name);
        const auto expected = rewritten.find(member.name);
        EXPECT_EQ(ReadMember(run.TargetPath, member.name),
                  expected != rewritten.end() ? expected->second
                                              : ReadMember(run.SourcePath, member.name));
    }
}

INSTANTIATE_TEST_SUITE_P(Compaction, StoredForms, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "DoNotCompact" : "Compact";
                         });

} // namespace
} // namespace parlune::test
