#include "ui-win32/WinSupport.h"

#include "window/MainFormBehaviour.h"

namespace parlune {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty())
        return std::wstring();
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    if (wide.empty())
        return std::string();
    const int size = static_cast<int>(wide.size());
    std::string utf8(
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
    return utf8;
}

std::wstring WideLines(std::string_view utf8) {
    std::wstring lines;
    for (const wchar_t c : Wide(utf8)) {
        if (c == L'\n')
            lines += L'\r';
        lines += c;
    }
    return lines;
}

std::wstring DialogFilter(std::string_view filter) {
    std::wstring parts;
    for (const auto& [description, patterns] : FilterPairs(filter)) {
        parts += Wide(description) + L'\0';
        parts += Wide(patterns) + L'\0';
    }
    return parts + L'\0';
}

// A negative height asks for the character height: 8 points are 11 pixels.
HFONT MakeFont(std::string_view face, int points, bool bold) {
    return CreateFontW(-MulDiv(points, 96, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, Wide(face).c_str());
}

HWND CreateChildControl(HWND parent, const wchar_t* className, std::string_view text, DWORD style,
                        const ControlPlace& place, int id, HFONT font) {
    HWND control = CreateWindowExW(0, className, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                                   place.left, place.top, place.width, place.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

COLORREF ColourRef(Colour colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

} // namespace parlune
