#include "ui-win32/AboutUnit.h"

#include "ui-win32/WinSupport.h"

namespace parlune {

namespace {

constexpr wchar_t kClassName[] = L"TAboutForm";
constexpr int kCloseButton = 1;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

} // namespace

TAboutForm::TAboutForm(HINSTANCE instance)
    : instance(instance), boxFont(MakeFont(kAboutFont, kFontPoints, false)),
      panelBrush(CreateSolidBrush(ColourRef(kAboutPanelColour))) {
    for (std::size_t i = 0; i < labelFonts.size(); ++i)
        labelFonts[i] = MakeFont(kAboutFont, kAboutLabels[i].points, kAboutLabels[i].bold);
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
    for (HFONT font : labelFonts)
        DeleteObject(font);
    DeleteObject(boxFont);
    DeleteObject(panelBrush);
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
    for (std::size_t i = 0; i < labels.size(); ++i)
        labels[i] = CreateChildControl(window, L"STATIC", kAboutLabels[i].text, SS_CENTER,
                                       kAboutLabels[i].place, -1, labelFonts[i]);
    CreateChildControl(window, L"BUTTON", kCloseCaption, BS_DEFPUSHBUTTON | WS_TABSTOP, kClosePlace,
                       kCloseButton, boxFont);
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
    COLORREF colour = GetSysColor(COLOR_WINDOWTEXT);
    for (std::size_t i = 0; i < labels.size(); ++i)
        if (labels[i] == label && kAboutLabels[i].coloured)
            colour = ColourRef(kAboutLabels[i].colour);
    SetTextColor(dc, colour);
    SetBkColor(dc, ColourRef(kAboutPanelColour));
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
        const RECT panel{0, 0, client.right, kAboutPanelHeight};
        FillRect(dc, &panel, panelBrush);
        EndPaint(window, &paint);
        return 0;
    }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace parlune
