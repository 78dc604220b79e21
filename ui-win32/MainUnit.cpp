#include "ui-win32/MainUnit.h"

#include "ui-win32/WinSupport.h"

#include <commdlg.h>
#include <shellapi.h>

#include <optional>
#include <vector>

namespace parlune {

namespace {

constexpr wchar_t kClassName[] = L"TMainForm";
constexpr UINT kOpenSourceMessage = WM_APP + 1;
constexpr int kIconResource = 1;
constexpr DWORD kFileBufferSize = 32768;

// The log's id, then one for each control of the panel, in the order of PanelControlId.
enum ControlId { kLogMemo = 100, kSource, kTarget, kProcess, kVerbose, kNoCompact, kAbout };

int idOf(PanelControlId control) {
    return kSource + static_cast<int>(control);
}

DWORD styleOf(const PanelControl& placed) {
    if (placed.kind == ControlKind::CheckBox)
        return BS_AUTOCHECKBOX;
    return placed.id == PanelControlId::Process ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

// The file name a file dialog returns, or nothing when it was cancelled.
std::optional<std::wstring> runFileDialog(OPENFILENAMEW& dialog, bool save,
                                          const std::wstring& initial) {
    std::vector<wchar_t> fileName(kFileBufferSize, L'\0');
    initial.copy(fileName.data(), kFileBufferSize - 1);
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFile = fileName.data();
    dialog.nMaxFile = kFileBufferSize;
    dialog.Flags |= OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING | OFN_PATHMUSTEXIST;
    if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)))
        return std::nullopt;
    return std::wstring(fileName.data());
}

} // namespace

TMainForm::TMainForm(HINSTANCE instance)
    : instance(instance), windowFont(MakeFont(kFormFont, kFontPoints, false)),
      logFont(MakeFont(kLogFont, kFontPoints, false)), aboutForm(instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = FormWindowProc<TMainForm>;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    window = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, Wide(ApplicationTitle()).c_str(),
                             WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, kOuterSize.cx,
                             kOuterSize.cy, nullptr, nullptr, instance, this);
    createControls();
    layOut();
    DragAcceptFiles(window, TRUE);
}

TMainForm::~TMainForm() {
    if (IsWindow(window))
        DestroyWindow(window);
    DeleteObject(windowFont);
    DeleteObject(logFont);
}

// The log shows the README, word-wrapped, until the first source is chosen. The panel's
// controls are made in the order of the keyboard focus, which that order sets.
void TMainForm::createControls() {
    createLog(true, WideLines(ReadmeText()));
    for (const PanelControl& placed : kPanelControls)
        CreateChildControl(window, L"BUTTON", placed.caption, styleOf(placed) | WS_TABSTOP, {},
                           idOf(placed.id), windowFont);
    applyControls(Controls());
    focused = control(kSource);
}

// An edit control wraps its lines unless it scrolls horizontally, which is fixed when it is
// made; so the log is made anew without wrapping, first in the focus order as before.
void TMainForm::createLog(bool wrap, const std::wstring& text) {
    HWND previous = logMemo;
    logMemo =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", text.c_str(),
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE |
                            ES_READONLY | ES_AUTOVSCROLL | (wrap ? 0 : ES_AUTOHSCROLL),
                        0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLogMemo)),
                        instance, nullptr);
    SendMessageW(logMemo, WM_SETFONT, reinterpret_cast<WPARAM>(logFont), FALSE);
    SendMessageW(logMemo, EM_SETLIMITTEXT, 0, 0);
    logWraps = wrap;
    if (previous == nullptr)
        return;
    const bool hadFocus = GetFocus() == previous;
    DestroyWindow(previous);
    SetWindowPos(logMemo, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    layOut();
    if (hadFocus)
        SetFocus(logMemo);
}

// The log fills the space inside the margin above the panel, which is docked at the bottom;
// About keeps to the panel's right edge.
void TMainForm::layOut() {
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - 2 * kFormMargin;
    const int panelTop = client.bottom - kFormMargin - kPanelHeight;
    MoveWindow(logMemo, kFormMargin, kFormMargin, width, panelTop - kFormMargin, TRUE);
    for (const PanelControl& placed : kPanelControls) {
        const ControlPlace& place = placed.place;
        const int left = placed.id == PanelControlId::About ? width - place.width : place.left;
        MoveWindow(control(idOf(placed.id)), kFormMargin + left, panelTop + place.top, place.width,
                   place.height, TRUE);
    }
}

bool TMainForm::OpenArguments(const std::vector<std::wstring>& arguments) {
    if (arguments.size() > 1)
        return false;
    if (arguments.size() == 1) {
        // The dialog hands over full paths, and so does this.
        std::vector<wchar_t> full(kFileBufferSize, L'\0');
        const DWORD length =
            GetFullPathNameW(arguments.front().c_str(), kFileBufferSize, full.data(), nullptr);
        pendingSource =
            length > 0 && length < kFileBufferSize ? std::wstring(full.data()) : arguments.front();
    }
    return true;
}

void TMainForm::Show(int showCommand) {
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    SetFocus(focused);
    if (!pendingSource.empty())
        PostMessageW(window, kOpenSourceMessage, 0, 0);
}

void TMainForm::Dispatch(MSG& message) {
    if (handleKeys(message) || IsDialogMessageW(window, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

// Enter presses the focused button, or Process when the focus is elsewhere. Escape in the log
// would close the window, as in a dialog; here it does nothing.
bool TMainForm::handleKeys(const MSG& message) {
    if (message.message != WM_KEYDOWN || !IsChild(window, message.hwnd))
        return false;
    if (message.wParam == VK_ESCAPE)
        return true;
    if (message.wParam != VK_RETURN)
        return false;
    const int id = GetDlgCtrlID(message.hwnd);
    const bool button = id == kSource || id == kTarget || id == kAbout || id == kProcess;
    HWND pressed = button ? message.hwnd : control(kProcess);
    if (IsWindowEnabled(pressed))
        SendMessageW(pressed, BM_CLICK, 0, 0);
    return true;
}

// The new lines go at the end; the view scrolls to the last line's start.
void TMainForm::showLogLines(const std::string& lines) {
    const int length = GetWindowTextLengthW(logMemo);
    const std::wstring text = (length > 0 ? L"\r\n" : L"") + WideLines(lines);
    SendMessageW(logMemo, EM_SETSEL, length, length);
    SendMessageW(logMemo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    const LRESULT lastLine = SendMessageW(logMemo, EM_GETLINECOUNT, 0, 0) - 1;
    const LRESULT lastStart = SendMessageW(logMemo, EM_LINEINDEX, lastLine, 0);
    SendMessageW(logMemo, EM_SETSEL, lastStart, lastStart);
    SendMessageW(logMemo, EM_SCROLLCARET, 0, 0);
}

void TMainForm::setCaption(const std::string& caption) {
    SetWindowTextW(window, Wide(caption).c_str());
}

// Every pending message is handled before the run goes on; a request to quit is passed on to
// the message loop.
void TMainForm::processPendingEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

void TMainForm::applyControls(const ControlStates& states) {
    const std::pair<int, bool> enabled[] = {
        {kSource, states.source},   {kTarget, states.target},     {kProcess, states.process},
        {kVerbose, states.options}, {kNoCompact, states.options},
    };
    for (const auto& [id, on] : enabled)
        EnableWindow(control(id), on);
}

bool TMainForm::Verbose() const {
    return SendMessageW(control(kVerbose), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool TMainForm::NoCompact() const {
    return SendMessageW(control(kNoCompact), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TMainForm::SourceButtonClick() {
    static const std::wstring filter = DialogFilter(kOpenFilter);
    OPENFILENAMEW dialog{};
    dialog.hwndOwner = window;
    dialog.lpstrFilter = filter.c_str();
    dialog.Flags = OFN_FILEMUSTEXIST;
    if (const auto chosen = runFileDialog(dialog, false, std::wstring()))
        ChooseSource(*chosen);
}

void TMainForm::ChooseSource(const std::wstring& fileName) {
    TakeSource(Utf8(fileName));
}

void TMainForm::prepareSaveDialog(const SaveDialogSetting& setting, const std::string& sourceFile) {
    saveFilter = DialogFilter(setting.filter);
    saveExtension = Wide(setting.defaultExtension);
    saveFileName = Wide(sourceFile);
}

void TMainForm::clearLog() {
    if (logWraps)
        createLog(false, std::wstring());
    else
        SetWindowTextW(logMemo, L"");
}

void TMainForm::TargetButtonClick() {
    OPENFILENAMEW dialog{};
    dialog.hwndOwner = window;
    dialog.lpstrFilter = saveFilter.c_str();
    dialog.lpstrDefExt = saveExtension.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT;
    if (const auto chosen = runFileDialog(dialog, true, saveFileName))
        TakeTarget(Utf8(*chosen));
}

void TMainForm::AboutButtonClick() {
    aboutForm.ShowModal(window);
}

void TMainForm::acceptDrops(bool accept) {
    DragAcceptFiles(window, accept ? TRUE : FALSE);
}

void TMainForm::showErrorBox(const std::string& caption, const std::string& text) {
    MessageBoxW(window, Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_ICONERROR);
}

void TMainForm::closeWindow() {
    DestroyWindow(window);
}

void TMainForm::command(int id) {
    switch (id) {
    case kSource:
        return Guarded([this] { SourceButtonClick(); });
    case kTarget:
        return Guarded([this] { TargetButtonClick(); });
    case kProcess:
        return ProcessButtonClick();
    case kAbout:
        return Guarded([this] { AboutButtonClick(); });
    }
}

// One file dropped while no run is in progress is chosen as the source; anything else is
// ignored.
void TMainForm::dropFiles(HDROP drop) {
    if (!RunInProgress() && DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        std::vector<wchar_t> fileName(kFileBufferSize, L'\0');
        DragQueryFileW(drop, 0, fileName.data(), kFileBufferSize);
        const std::wstring chosen(fileName.data());
        Guarded([this, &chosen] { ChooseSource(chosen); });
    }
    DragFinish(drop);
}

// The focus returns to the control that had it when the window is activated again.
void TMainForm::activate(bool active) {
    if (!active) {
        HWND current = GetFocus();
        if (current != nullptr && IsChild(window, current))
            focused = current;
    } else if (focused != nullptr && IsWindow(focused)) {
        SetFocus(focused);
    }
}

// The read-only log keeps the white of a text field; the check boxes take the face.
LRESULT TMainForm::controlColours(HDC dc, HWND child) {
    const int colour = child == logMemo ? COLOR_WINDOW : COLOR_BTNFACE;
    SetBkColor(dc, GetSysColor(colour));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(colour));
}

// What a dialog does with WM_NEXTDLGCTL, which the log and the accelerators send: the focus
// goes to the control given, or to the next or previous one in the focus order.
void TMainForm::focusNext(WPARAM wParam, LPARAM lParam) {
    HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                               : GetNextDlgTabItem(window, GetFocus(), wParam != 0);
    if (next != nullptr && IsWindowEnabled(next))
        SetFocus(next);
}

LRESULT TMainForm::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            command(LOWORD(wParam));
        return 0;
    case WM_SIZE:
        layOut();
        return 0;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {kOuterSize.cx, kOuterSize.cy};
        return 0;
    case WM_CTLCOLORSTATIC:
        return controlColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case DM_GETDEFID:
        return MAKELRESULT(kProcess, DC_HASDEFID);
    case WM_NEXTDLGCTL:
        focusNext(wParam, lParam);
        return 0;
    case WM_ACTIVATE:
        activate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_DROPFILES:
        dropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case kOpenSourceMessage:
        Guarded([this] { ChooseSource(pendingSource); });
        return 0;
    case WM_CLOSE:
        if (MayClose())
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace parlune
