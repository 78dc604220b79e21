// What both main windows share: the state of the controls, the source check, the caption during
// compaction and a close request during a run.

#include "window/MainFormBehaviour.h"

#include <gtest/gtest.h>

namespace parlune {
namespace {

TEST(MainFormBehaviour, SetsTheSaveDialogUpForMapsOnly) {
    const struct {
        const char* fileName;
        std::optional<std::string> filter;
    } cases[] = {
        {"C:\\maps\\a.w3m", "Warcraft III Reign of Chaos Map|*.w3m"},
        {"/maps/a.w3x", "Warcraft III Frozen Throne Map|*.w3x"},
        {"C:\\maps\\a.W3X", std::nullopt},
        {"C:\\maps.w3x\\a", std::nullopt},
    };
    for (const auto& [fileName, filter] : cases) {
        const auto setting = SaveSettingFor(fileName);
        EXPECT_EQ(setting ? std::optional(setting->filter) : std::nullopt, filter) << fileName;
    }
    EXPECT_EQ(SaveSettingFor("a.w3m")->defaultExtension, "w3m");
}

TEST(MainFormBehaviour, SplitsFiltersIntoPairs) {
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(FilterPairs("A|*.a;*.b|B|*.b"), (Pairs{{"A", "*.a;*.b"}, {"B", "*.b"}}));
    EXPECT_EQ(FilterPairs(""), Pairs{});
}

TEST(MainFormBehaviour, EnablesTheControlsOfEachState) {
    MainFormBehaviour form;
    EXPECT_EQ(form.Controls(), (ControlStates{true, false, false, true}));
    form.SourceChosen();
    EXPECT_EQ(form.Controls(), (ControlStates{true, true, false, true}));
    form.TargetChosen();
    EXPECT_EQ(form.Controls(), (ControlStates{true, true, true, true}));
    form.EnableRunControls(false);
    EXPECT_EQ(form.Controls(), (ControlStates{false, false, false, false}));
    form.EnableRunControls(true);
    form.SourceChosen();
    EXPECT_EQ(form.Controls(), (ControlStates{true, true, false, true}));
}

TEST(MainFormBehaviour, ClosesAfterTheRunWhenAskedDuringIt) {
    MainFormBehaviour form;
    form.StartRun();
    EXPECT_FALSE(form.CloseRequested());
    EXPECT_TRUE(form.EndRun());
    EXPECT_FALSE(form.Running());
    EXPECT_TRUE(form.CloseRequested());
}

TEST(MainFormBehaviour, ShowsTheCompactionInTheCaptionUntilTheNextLine) {
    MainFormBehaviour form;
    EXPECT_EQ(form.ProgressCaption(42, 100), "Parlune 1.0.2 - compacting 42%");
    EXPECT_EQ(form.ProgressCaption(425, 1000), std::nullopt);
    EXPECT_EQ(form.ProgressCaption(0, 0), "Parlune 1.0.2 - compacting 100%");
    EXPECT_EQ(form.RestoredCaption(), "Parlune 1.0.2");
    EXPECT_EQ(form.RestoredCaption(), std::nullopt);
}

TEST(MainFormBehaviour, ShowsTheFirstLineAndEveryStepAtOnce) {
    MainFormBehaviour form;
    EXPECT_EQ(form.AddLogLine("a", LogLevel::Detail), "a");
    EXPECT_EQ(form.AddLogLine("b", LogLevel::Step), "b");
    EXPECT_EQ(form.TakePendingLog(), std::nullopt);
}

} // namespace
} // namespace parlune
