// Extraction of the string table and the eight rewritten members from real maps.

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace parlune::test {
namespace {

const std::string kTable = MakeTable({{1, "Footman"}});

TEST(Extraction, ReadsEveryPresentMemberInOrder) {
    ScratchDir dir;
    RecordingProcessor run;
    run.SourcePath = MakeMap(dir, "all.w3x",
                             {{"war3map.wts", kTable},
                              {"war3map.j", "script"},
                              {"war3map.w3a", "a"},
                              {"war3map.w3h", ""},
                              {"war3map.w3i", "iiii"},
                              {"war3map.w3q", "qq"},
                              {"war3map.w3t", "ttt"},
                              {"war3map.w3u", "uuuuu"},
                              {"war3mapSkin.txt", "[Skin]"}});
    run.TargetPath = run.SourcePath;
    run.noCompact = true;
    ASSERT_EQ(run.RunCatching(), "");
    const std::vector<std::string> expectedStart = {
        "Extracting files from map...",
        "     Extracted war3map.wts (" + std::to_string(kTable.size()) + " bytes)",
        "     Extracted war3map.j (6 bytes)",
        "     Extracted war3map.w3a (1 bytes)",
        "     Extracted war3map.w3h (0 bytes)",
        "     Extracted war3map.w3i (4 bytes)",
        "     Extracted war3map.w3q (2 bytes)",
        "     Extracted war3map.w3t (3 bytes)",
        "     Extracted war3map.w3u (5 bytes)",
        "     Extracted war3mapSkin.txt (6 bytes)",
        "Loading war3map.wts...",
    };
    ASSERT_GE(run.log.size(), expectedStart.size());
    EXPECT_EQ(std::vector<std::string>(run.log.begin(), run.log.begin() + expectedStart.size()),
              expectedStart);
    EXPECT_EQ(run.MapFiles[0].Data, "script");
    EXPECT_FALSE(run.ScriptInScriptsFolder);
    for (const MapFileSlot& slot : run.MapFiles)
        EXPECT_TRUE(slot.Present);
}

} // namespace
} // namespace parlune::test
