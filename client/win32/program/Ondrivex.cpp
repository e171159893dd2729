// The client program's entry point: the start-up object does everything.
#include <string>
#include <vector>

#include "base/win32/WindowsSupport.h"
#include <shellapi.h>
#include "client/win32/CTavelinApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    std::vector<std::wstring> arguments;
    int count = 0;
    if (wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.emplace_back(list[i]);
        LocalFree(list);
    }
    CTavelinApp app;
    app.InitInstance(arguments);
    return 0;
}
