// Maps with a weak signature, which several map editors add to every map they save: the run
// writes the map, signed again, with and without compaction, beside the source or over it.
// The runs go through parlune-cli, a process that has not signed anything before, unlike this
// one, which signs the maps it makes.

#include "tests/support/WriterFixtures.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace parlune::test {
namespace {

using namespace std::string_literals;
using Kestmarlapi::WeakSignature;

const Members kSignedMap = {{"war3map.wts", MakeTable({{1, "Footman"}, {2, "Tree"}})},
                            {"war3map.w3u", "unam TRIGSTR_001\0"s},
                            {"war3map.wct", "// TRIGSTR_002\r\n"},
                            {"war3map.doo", NoiseBytes(5000, 9)}};

// Runs parlune-cli and returns its exit code; its output goes to the file out.
int runCli(const std::string& arguments, const std::string& out) {
    const std::string command = std::string(PARLUNE_CLI_PATH) + " " + arguments + " >'" + out + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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
    const std::string log = logDir.File("cli.out");
    ASSERT_EQ(runCli(std::string(GetParam().noCompact ? "--no-compact '" : "'") + source + "' '" +
                         target + "'",
                     log),
              0);
    EXPECT_TRUE(ReadFileBytes(log).ends_with("\nEverything done.\n"));
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
