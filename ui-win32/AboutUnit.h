#pragma once

#include <windows.h>

namespace parlune {

// The About box: the program's name and the credits on a white panel, and a Close button.
// ShowModal shows it centred over the main window and returns when it is closed.
class TAboutForm {
public:
    explicit TAboutForm(HINSTANCE instance);
    ~TAboutForm();
    TAboutForm(const TAboutForm&) = delete;
    TAboutForm& operator=(const TAboutForm&) = delete;

    void ShowModal(HWND owner);
    void CloseButtonClick();

    static constexpr SIZE kClientSize{192, 104};
    static constexpr int kPanelHeight = 65;

private:
    template <class Form> friend LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void centreOver(HWND owner);
    LRESULT labelColours(HDC dc, HWND label);
    void runModalLoop();

    HINSTANCE instance;
    HFONT boxFont;
    HFONT titleFont;
    HFONT authorFont;
    HBRUSH panelBrush;
    bool open = false;
    HWND window = nullptr;
    // The labels that take the colours of their own.
    HWND titleLabel = nullptr;
    HWND authorLabel = nullptr;
};

} // namespace parlune
