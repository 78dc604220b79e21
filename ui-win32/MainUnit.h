#pragma once

#include "ui-win32/AboutUnit.h"
#include "window/FormLayout.h"
#include "window/MainFormBase.h"

#include <windows.h>

#include <string>
#include <vector>

namespace parlune {

// The main window, drawn with Windows' own controls. It owns the run state and offers the
// processing operations as its own.
class TMainForm : public MainFormBase {
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

    bool Verbose() const override;
    bool NoCompact() const override;

    void SourceButtonClick();
    // Takes fileName as the source, as if it had been chosen in the Select Source dialog.
    void ChooseSource(const std::wstring& fileName);
    void TargetButtonClick();
    void AboutButtonClick();

    static constexpr SIZE kOuterSize{kFormWidth, kFormHeight};

protected:
    void showLogLines(const std::string& lines) override;
    // An edit control wraps its lines for good: the log is made anew without wrapping.
    void clearLog() override;
    void setCaption(const std::string& caption) override;
    void applyControls(const ControlStates& states) override;
    // A request to quit that arrives meanwhile is passed on to the message loop.
    void processPendingEvents() override;
    void showErrorBox(const std::string& caption, const std::string& text) override;
    // The save dialog is made anew on each click, from what this keeps.
    void prepareSaveDialog(const SaveDialogSetting& setting,
                           const std::string& sourceFile) override;
    void acceptDrops(bool accept) override;
    void closeWindow() override;

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
    HWND control(int id) const { return GetDlgItem(window, id); }

    HINSTANCE instance;
    HWND window = nullptr;
    HWND logMemo = nullptr;
    HWND focused = nullptr;
    HFONT windowFont;
    HFONT logFont;
    TAboutForm aboutForm;
    bool logWraps = true;
    std::wstring saveFilter;
    std::wstring saveExtension;
    std::wstring saveFileName;
    std::wstring pendingSource;
};

} // namespace parlune
