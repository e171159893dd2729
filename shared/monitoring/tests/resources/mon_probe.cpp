// A windowless program that tests start and look for. It names its events
// after its own file name, so that each test can run a copy of its own:
// it sets "Local\<name>.Ready" once it runs and ends when "Local\<name>.Quit"
// is set, or after a minute.
#include "base/win32/WindowsSupport.h"

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    std::wstring name(path, length);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.rfind(L'.'));

    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, (L"Local\\" + name + L".Quit").c_str());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, (L"Local\\" + name + L".Ready").c_str());
    if (quit == nullptr || ready == nullptr)
        return 2;
    SetEvent(ready);
    const DWORD waited = WaitForSingleObject(quit, 60000);
    CloseHandle(ready);
    CloseHandle(quit);
    return waited == WAIT_OBJECT_0 ? 0 : 3;
}
