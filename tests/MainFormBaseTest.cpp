// The window logic both windows share, driven as the Windows window drives it on each click,
// through a fake window that records what the logic asks of its controls.

#include "window/MainFormBase.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace parlune::test {
namespace {

using Events = std::vector<std::string>;

std::string states(const ControlStates& controls) {
    std::string text = "controls ";
    for (const bool on : {controls.source, controls.target, controls.process, controls.options})
        text += on ? '1' : '0';
    return text;
}

class FakeWindow : public MainFormBase {
public:
    bool Verbose() const override { return false; }
    bool NoCompact() const override { return false; }

    Events events;
    std::string logView;
    // Asks to close the window the first time the run lets the window take input.
    bool closeDuringRun = false;

protected:
    void showLogLines(const std::string& lines) override { logView += lines + "\n"; }
    void clearLog() override {
        logView.clear();
        events.push_back("clear log");
    }
    void setCaption(const std::string& caption) override { events.push_back("caption " + caption); }
    void applyControls(const ControlStates& controls) override {
        events.push_back(states(controls));
    }
    void processPendingEvents() override {
        if (closeDuringRun && RunInProgress()) {
            closeDuringRun = false;
            events.push_back(MayClose() ? "closes at once" : "close waits");
        }
    }
    void showErrorBox(const std::string& caption, const std::string& text) override {
        events.push_back("box " + caption + ": " + text);
    }
    void prepareSaveDialog(const SaveDialogSetting& setting, const std::string& source) override {
        events.push_back("save dialog " + setting.filter + " " + source);
    }
    void acceptDrops(bool accept) override { events.push_back(accept ? "drops" : "no drops"); }
    void closeWindow() override { events.push_back("close"); }
};

TEST(MainFormBase, RefusesAFileThatIsNoMapAndTakesAMap) {
    FakeWindow window;
    EXPECT_FALSE(window.TakeSource("C:\\maps\\a.W3X"));
    EXPECT_EQ(window.events, Events{"box Error: Only Warcraft III maps can be loaded!"});
    EXPECT_EQ(window.SourcePath, "");

    window.events.clear();
    EXPECT_TRUE(window.TakeSource("C:\\maps\\a.w3x"));
    window.TakeTarget("C:\\maps\\b.w3x");
    EXPECT_EQ(window.events,
              (Events{"save dialog Warcraft III Frozen Throne Map|*.w3x C:\\maps\\a.w3x",
                      "clear log", "controls 1101", "controls 1111"}));
    EXPECT_EQ(window.logView, "Selected \"C:\\maps\\a.w3x\" as source file\n"
                              "Selected \"C:\\maps\\b.w3x\" as target file\n");
    EXPECT_EQ(window.TargetPath, "C:\\maps\\b.w3x");
}

// A run shows the log the run writes, with the controls off during it, and a close asked for
// meanwhile waits for its end; a failure shows in the box once the controls are on again.
TEST(MainFormBase, RunsWithTheControlsOffAndClosesAfterwards) {
    ScratchDir dir;
    const Members map = {{"war3map.wts", MakeTable({{1, "Footman"}})},
                         {"war3map.w3u", "TRIGSTR_1"}};
    struct Case {
        const char* name;
        bool missingSource;
        Events ending;
    };
    const Case cases[] = {
        {"done", false, {"caption Parlune 1.0.2", "controls 1111", "drops", "close"}},
        {"failed",
         true,
         {"controls 1111", "box Parlune 1.0.2: Error opening map file!", "drops", "close"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        RecordingProcessor plain;
        plain.SourcePath = c.missingSource ? dir.File("none.w3x") : MakeMap(dir, "map.w3x", map);
        plain.TargetPath = dir.File("plain.w3x");
        plain.RunCatching();
        window.TakeSource(plain.SourcePath);
        window.TakeTarget(dir.File("out.w3x"));
        window.events.clear();
        window.closeDuringRun = true;
        window.ProcessButtonClick();
        EXPECT_EQ(window.logView, "Selected \"" + plain.SourcePath + "\" as source file\n" +
                                      "Selected \"" + window.TargetPath + "\" as target file\n" +
                                      plain.Transcript());
        ASSERT_GE(window.events.size(), 5u);
        EXPECT_EQ((Events(window.events.begin(), window.events.begin() + 3)),
                  (Events{"no drops", "controls 0000", "close waits"}));
        EXPECT_EQ((Events(window.events.end() - 4, window.events.end())), c.ending);
    }
}

} // namespace
} // namespace parlune::test
