// A program with one top-level window, for the tests of the real desktop:
//   mon_win_x TITLE
// opens a visible window with that title, asks for the foreground and runs
// until its window is closed, its standard input ends (the test dropped
// it), or two minutes pass.
#include "base/win32/WindowsSupport.h"

#include <shellapi.h>

namespace {

const UINT_PTR GiveUpTimer = 1;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

DWORD WINAPI watchInput(void* param)
{
    HWND window = static_cast<HWND>(param);
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char byte;
    DWORD read = 0;
    while (input != nullptr && input != INVALID_HANDLE_VALUE &&
           ReadFile(input, &byte, 1, &read, nullptr) && read > 0) {
    }
    if (input != nullptr && input != INVALID_HANDLE_VALUE)
        PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const wchar_t* title = argv != nullptr && argc > 1 ? argv[1] : L"tcwin";

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"OndrivexTestWindow";
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    if (!RegisterClassW(&windowClass))
        return 1;
    HWND window = CreateWindowExW(0, L"OndrivexTestWindow", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  40, 40, 320, 200, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 2;
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetTimer(window, GiveUpTimer, 120000, nullptr);
    HANDLE watcher = CreateThread(nullptr, 0, watchInput, window, 0, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (watcher != nullptr)
        CloseHandle(watcher);
    LocalFree(argv);
    return 0;
}
