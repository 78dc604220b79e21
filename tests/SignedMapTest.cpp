// Maps with a weak signature, which several map editors add to every map they save: the run
// writes the map, signed again, with and without compaction, beside the source or over it.
// The runs go through parlune-cli, a process that has not signed anything before, unlike this
// one, which signs the maps it makes.

#include "tests/support/CliRunner.h"
#include "tests/support/WriterFixtures.h"

#include <gtest/gtest.h>

namespace parlune::test {
namespace {

using namespace std::string_literals;
using Kestmarlapi::WeakSignature;

const Members kSignedMap = {{"war3map.wts", MakeTable({{1, "Footman"}, {2, "Tree"}})},
                            {"war3map.w3u", "unam TRIGSTR_001\0"s},
                            {"war3map.wct", "// TRIGSTR_002\r\n"},
                            {"war3map.doo", NoiseBytes(5000, 9)}};

struct SignedCase {
    bool noCompact;
    bool sameTarget;
};

class SignedMap : public testing::TestWithParam<SignedCase> {};

TEST_P(SignedMap, IsWrittenAndSignedAgain) {
    ScratchDir dir;
    Kestmarlapi::NewArchiveOptions options;
    options.header = Kestmarlapi::MakeMapHeader("Signed");
    options.signWeak = true;
    const std::string source = MakeMap(dir, "signed.w3x", kSignedMap, options);
    const std::string target = GetParam().sameTarget ? source : dir.File("out.w3x");
    ASSERT_EQ(Kestmarlapi::VerifyWeakSignature(source), WeakSignature::Valid);

    const ScratchDir logDir; // the map's folder holds the maps alone
    std::vector<std::string> arguments = {source, target};
    if (GetParam().noCompact)
        arguments.insert(arguments.begin(), "--no-compact");
    const CliResult cli = RunCli(arguments, logDir);
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    EXPECT_TRUE(cli.out.ends_with("\nEverything done.\n"));
    EXPECT_EQ(Kestmarlapi::VerifyWeakSignature(target), WeakSignature::Valid);
    EXPECT_EQ(ReadMember(target, "war3map.wts"), MakeTable({{2, "Tree"}}));
    EXPECT_EQ(ReadMember(target, "war3map.w3u"), "unam Footman\0"s);
    EXPECT_EQ(ReadMember(target, "war3map.doo"), kSignedMap[3].data);
    EXPECT_EQ(FolderEntries(dir.Path()).size(), GetParam().sameTarget ? 1u : 2u);
}

INSTANTIATE_TEST_SUITE_P(Runs, SignedMap,
                         testing::Values(SignedCase{false, false}, SignedCase{true, false},
                                         SignedCase{false, true}, SignedCase{true, true}),
                         [](const testing::TestParamInfo<SignedCase>& info) {
                             return std::string(info.param.noCompact ? "DoNotCompact" : "Compact") +
                                    (info.param.sameTarget ? "SameTarget" : "OtherTarget");
                         });

} // namespace
} // namespace parlune::test
