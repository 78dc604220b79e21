#pragma once

#include "window/FormLayout.h"

#include <windows.h>

#include <array>
#include <iterator>

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

    static constexpr SIZE kClientSize{kAboutWidth, kAboutHeight};

private:
    template <class Form> friend LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void centreOver(HWND owner);
    LRESULT labelColours(HDC dc, HWND label);
    void runModalLoop();

    HINSTANCE instance;
    HFONT boxFont;
    std::array<HFONT, std::size(kAboutLabels)> labelFonts;
    HBRUSH panelBrush;
    bool open = false;
    HWND window = nullptr;
    std::array<HWND, std::size(kAboutLabels)> labels{};
};

} // namespace parlune
