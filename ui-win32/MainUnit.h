#pragma once

#include "processing/MapProcessor.h"
#include "ui-win32/AboutUnit.h"
#include "ui/MainFormBehaviour.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace parlune {

// The main window, drawn with Windows' own controls. It owns the run state and offers the
// processing operations as its own.
class TMainForm : public MapProcessor {
public:
    explicit TMainForm(HINSTANCE instance);
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // Takes the program's arguments after its name: nothing, or one map that the window
    // chooses as its source once it shows. False for more than one.
    bool OpenArguments(const std::vector<std::wstring>& arguments);
    void Show(int showCommand);
    // Hands one message of the message loop to the window: keyboard navigation, accelerators
    // and the default button first.
    void Dispatch(MSG& message);

    // Appends text as the last line of the log view and scrolls to it, then handles every
    // pending message, so the window repaints and takes input between two lines of a run.
    void Log(const std::string& text) override;
    // As Log; a detail line may wait up to kLogBatchMs for the next batch.
    void LogAtLevel(LogLevel level, const std::string& text) override;
    void EnableRunControls(bool enabled) override;
    bool Verbose() const override;
    bool NoCompact() const override;
    // Shows the progress in the caption and keeps the window repainting.
    void CompactionProgress(std::uint64_t done, std::uint64_t total) override;

    void SourceButtonClick();
    // Takes fileName as the source, as if it had been chosen in the Select Source dialog.
    void ChooseSource(const std::wstring& fileName);
    void TargetButtonClick();
    // Runs from the source to the target. A request to close the window meanwhile is kept and
    // carried out once the run has ended, whichever way it ended.
    void ProcessButtonClick();
    void AboutButtonClick();

    static constexpr SIZE kOuterSize{600, 400};
    static constexpr int kMargin = 8;
    static constexpr int kPanelHeight = 31;

private:
    template <class Form> friend LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool handleKeys(const MSG& message);
    void createControls();
    void createLog(bool wrap, const std::wstring& text);
    void layOut();
    void command(int id);
    void dropFiles(HDROP drop);
    void activate(bool active);
    LRESULT controlColours(HDC dc, HWND child);
    void focusNext(WPARAM wParam, LPARAM lParam);
    void guarded(const std::function<void()>& handler);
    void showFailure(const std::string& message);
    void appendLog(const std::string& text, LogLevel level);
    void showLog(const std::optional<std::string>& lines);
    void setCaption(const std::optional<std::string>& caption);
    void settleAfterRun();
    void applyControls();
    void processMessages();
    HWND control(int id) const { return GetDlgItem(window, id); }

    HINSTANCE instance;
    HWND window = nullptr;
    HWND logMemo = nullptr;
    HWND focused = nullptr;
    HFONT windowFont;
    HFONT logFont;
    TAboutForm aboutForm;
    MainFormBehaviour behaviour;
    bool logWraps = true;
    std::wstring saveFilter;
    std::wstring saveExtension;
    std::wstring saveFileName;
    std::wstring pendingSource;
};

} // namespace parlune
