#pragma once

// Text between the program's UTF-8 and Windows' UTF-16, the fonts the windows draw with, and
// the way from a window to the object that drives it.

#include "window/FormLayout.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace parlune {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
// Wide, with each '\n' written as the "\r\n" that an edit control breaks lines at.
std::wstring WideLines(std::string_view utf8);
// A filter written as description|pattern pairs, as the file dialogs take it: each part ended
// by a null character, the whole by one more.
std::wstring DialogFilter(std::string_view filter);

// A font of the face and the size in points, at the 96 pixels an inch that the places of the
// controls are made for.
HFONT MakeFont(std::string_view face, int points, bool bold);
// A child control of parent of the class, with the text (UTF-8), the style besides WS_CHILD and
// WS_VISIBLE, the place, the id and the font.
HWND CreateChildControl(HWND parent, const wchar_t* className, std::string_view text, DWORD style,
                        const ControlPlace& place, int id, HFONT font);
// A colour of the layout as Windows takes it.
COLORREF ColourRef(Colour colour);

// The window procedure of a form class: hands the messages of the form's window to its
// handle(), from the window's first message on. The form is CreateWindowExW's last argument,
// kept in the window's user data, and names its window `window`.
template <class Form>
LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr || form->window != window)
        return DefWindowProcW(window, message, wParam, lParam);
    return form->handle(message, wParam, lParam);
}

} // namespace parlune
