// A program with a top-level window for the tests of ending another client:
//   client_window_probe            shows a window and waits for its input to close
//   client_window_probe --self     asks to end every other copy of itself, then exits 7
#include <cstdio>
#include <cstring>

#include "base/win32/WindowsSupport.h"
#include "client/win32/CTavelinApp.h"

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--self") == 0) {
        // Its own process is skipped: reaching the exit code shows it lived.
        CTavelinApp::terminateOtherClient(L"client_window_probe.exe");
        return 7;
    }
    HWND window = CreateWindowExW(0, L"STATIC", L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 60,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return 2;
    char buffer[16];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    DestroyWindow(window);
    return 3;
}
