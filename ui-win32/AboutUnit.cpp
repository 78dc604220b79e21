#include "ui-win32/AboutUnit.h"

#include "ui-win32/WinSupport.h"
#include "ui/MainFormBehaviour.h"

#include <iterator>

namespace parlune {

namespace {

constexpr wchar_t kClassName[] = L"TAboutForm";
constexpr int kCloseButton = 1;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr COLORREF kTitleColour = RGB(0, 0, 128);
constexpr COLORREF kAuthorColour = RGB(255, 140, 0);

} // namespace

TAboutForm::TAboutForm(HINSTANCE instance)
    : instance(instance), boxFont(MakeFont(L"Tahoma", -11, false)),
      titleFont(MakeFont(L"Tahoma", -16, true)), authorFont(MakeFont(L"Tahoma", -11, true)),
      panelBrush(CreateSolidBrush(RGB(255, 255, 255))) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = FormWindowProc<TAboutForm>;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
}

TAboutForm::~TAboutForm() {
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(boxFont), static_cast<HGDIOBJ>(titleFont),
                           static_cast<HGDIOBJ>(authorFont), static_cast<HGDIOBJ>(panelBrush)})
        DeleteObject(object);
}

// The owner is disabled while the window is open, as for any modal window; the run, when one is in
// progress, waits in its log line until the window is closed.
void TAboutForm::ShowModal(HWND owner) {
    RECT frame{0, 0, kClientSize.cx, kClientSize.cy};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    window =
        CreateWindowExW(kExStyle, kClassName, L"AboutForm", kStyle, 0, 0, frame.right - frame.left,
                        frame.bottom - frame.top, owner, nullptr, instance, this);
    createControls();
    centreOver(owner);
    EnableWindow(owner, FALSE);
    ShowWindow(window, SW_SHOW);
    SetFocus(GetDlgItem(window, kCloseButton));
    open = true;
    runModalLoop();
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
    DestroyWindow(window);
    window = nullptr;
}

void TAboutForm::runModalLoop() {
    MSG message;
    while (open) {
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void TAboutForm::CloseButtonClick() {
    open = false;
}

// The panel is painted white behind the labels; the labels keep their size and centre their
// text.
void TAboutForm::createControls() {
    const struct {
        const char* text;
        DWORD style;
        RECT place;
        HFONT font;
    } controls[] = {
        {kAboutTitle, SS_CENTER, {0, 8, 192, 19}, titleFont},
        {kAuthorCredit, SS_CENTER, {0, 28, 192, 13}, authorFont},
        {kLibraryCredit, SS_CENTER, {0, 48, 192, 13}, boxFont},
        {"&Close", BS_DEFPUSHBUTTON | WS_TABSTOP, {8, 73, 177, 23}, boxFont},
    };
    HWND created[std::size(controls)];
    for (std::size_t i = 0; i < std::size(controls); ++i) {
        const auto& [text, style, place, font] = controls[i];
        const bool button = (style & WS_TABSTOP) != 0;
        created[i] = CreateWindowExW(
            0, button ? L"BUTTON" : L"STATIC", Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
            place.left, place.top, place.right, place.bottom, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(button ? kCloseButton : -1)), instance,
            nullptr);
        SendMessageW(created[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    titleLabel = created[0];
    authorLabel = created[1];
}

void TAboutForm::centreOver(HWND owner) {
    RECT ownerPlace;
    RECT boxPlace;
    GetWindowRect(owner, &ownerPlace);
    GetWindowRect(window, &boxPlace);
    const int width = boxPlace.right - boxPlace.left;
    const int height = boxPlace.bottom - boxPlace.top;
    SetWindowPos(window, nullptr, (ownerPlace.left + ownerPlace.right - width) / 2,
                 (ownerPlace.top + ownerPlace.bottom - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT TAboutForm::labelColours(HDC dc, HWND label) {
    SetTextColor(dc, label == titleLabel    ? kTitleColour
                     : label == authorLabel ? kAuthorColour
                                            : GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(panelBrush);
}

LRESULT TAboutForm::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kCloseButton || LOWORD(wParam) == IDCANCEL)
            CloseButtonClick();
        return 0;
    case WM_CLOSE:
        CloseButtonClick();
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(kCloseButton, DC_HASDEFID);
    case WM_CTLCOLORSTATIC:
        return labelColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        const RECT panel{0, 0, client.right, kPanelHeight};
        FillRect(dc, &panel, panelBrush);
        EndPaint(window, &paint);
        return 0;
    }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace parlune
