// parlune.exe [MAP]: the window, with MAP chosen as the source when one is given.

#include "ui-win32/MainUnit.h"
#include "ui-win32/WinSupport.h"

#include <shellapi.h>
#include <windows.h>

#include <algorithm>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::vector<std::wstring> afterName(arguments + std::min(count, 1), arguments + count);
    LocalFree(arguments);

    parlune::TMainForm mainForm(instance);
    if (!mainForm.OpenArguments(afterName)) {
        MessageBoxW(nullptr, L"usage: parlune [MAP]",
                    parlune::Wide(parlune::ApplicationTitle()).c_str(), MB_OK | MB_ICONERROR);
        return 2;
    }
    mainForm.Show(showCommand);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        mainForm.Dispatch(message);
    return static_cast<int>(message.wParam);
}
