#include "shared/monitoring/win32/Win32Desktop.h"

#include <new>

#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"
#include <psapi.h>

namespace {

// Rights of the two ways of reading a path: query and memory reading for
// the main module; limited query for the image name, which processes of
// other users and protected ones still grant.
const DWORD ModuleRights = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ; // 0x0410
const DWORD ImageRights = 0x1000; // PROCESS_QUERY_LIMITED_INFORMATION

// Paths are read into a buffer that grows until the path fits; the system's
// own limit for a path is 32767 characters.
const DWORD FirstPathBuffer = 260;
const DWORD LastPathBuffer = 65536;

Desktop::PathResult openFailure(DWORD error)
{
    return Desktop::PathResult{error == ERROR_ACCESS_DENIED ? Desktop::PathLookup::OpenDenied
                                                            : Desktop::PathLookup::OpenFailed,
                               error};
}

BOOL CALLBACK collect(HWND window, LPARAM param)
{
    // Nothing may be thrown through the window manager's loop.
    try {
        reinterpret_cast<std::vector<native::Window>*>(param)->push_back(window);
        return TRUE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

} // namespace

native::Window Win32Desktop::foregroundWindow()
{
    return GetForegroundWindow();
}

native::Window Win32Desktop::shellWindow()
{
    return GetShellWindow();
}

void Win32Desktop::topLevelWindows(std::vector<native::Window>& windows)
{
    windows.clear();
    EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
}

uint32_t Win32Desktop::windowStyle(native::Window window)
{
    return static_cast<uint32_t>(GetWindowLongW(window, GWL_STYLE));
}

uint32_t Win32Desktop::windowProcessId(native::Window window, unsigned long& error)
{
    DWORD processId = 0;
    SetLastError(0);
    GetWindowThreadProcessId(window, &processId);
    error = processId == 0 ? GetLastError() : 0;
    return processId;
}

Desktop::PathResult Win32Desktop::modulePath(uint32_t processId, std::wstring& path)
{
    ScopedKernelHandle process(OpenProcess(ModuleRights, FALSE, processId));
    if (!process)
        return openFailure(GetLastError());
    std::wstring buffer;
    for (DWORD size = FirstPathBuffer; size <= LastPathBuffer; size *= 2) {
        buffer.assign(size, L'\0');
        const DWORD length = GetModuleFileNameExW(process.get(), nullptr, &buffer[0], size);
        if (length == 0)
            return PathResult{PathLookup::ReadFailed, GetLastError()};
        // A path that filled the buffer may have been cut: read it again
        // into a larger one.
        if (length < size - 1) {
            path.assign(buffer.c_str(), length);
            return PathResult{PathLookup::Found, 0};
        }
    }
    return PathResult{PathLookup::ReadFailed, ERROR_INSUFFICIENT_BUFFER};
}

Desktop::PathResult Win32Desktop::imagePath(uint32_t processId, std::wstring& path)
{
    // Looked up at run time: systems before Vista lack the call.
    ScopedModule kernel(LoadLibraryW(L"Kernel32.dll"));
    if (!kernel)
        return PathResult{PathLookup::NoLibrary, GetLastError()};
    using QueryImageName = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
    const QueryImageName query = reinterpret_cast<QueryImageName>(
        GetProcAddress(kernel.get(), "QueryFullProcessImageNameW"));
    if (query == nullptr)
        return PathResult{PathLookup::NoFunction, GetLastError()};
    ScopedKernelHandle process(OpenProcess(ImageRights, FALSE, processId));
    if (!process)
        return openFailure(GetLastError());
    std::wstring buffer;
    for (DWORD size = FirstPathBuffer; size <= LastPathBuffer; size *= 2) {
        buffer.assign(size, L'\0');
        DWORD length = size;
        if (query(process.get(), 0, &buffer[0], &length)) {
            path.assign(buffer.c_str(), length);
            return PathResult{PathLookup::Found, 0};
        }
        const DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER)
            return PathResult{PathLookup::ReadFailed, error};
    }
    return PathResult{PathLookup::ReadFailed, ERROR_INSUFFICIENT_BUFFER};
}

bool Win32Desktop::windowText(native::Window window, size_t bufferUnits, std::wstring& text,
                              unsigned long& error)
{
    text.clear();
    if (bufferUnits == 0) {
        error = 0;
        return true;
    }
    std::wstring buffer(bufferUnits, L'\0');
    // An empty text and a failure both give 0; only the error tells them apart.
    SetLastError(0);
    const int length = GetWindowTextW(window, &buffer[0], static_cast<int>(bufferUnits));
    error = length > 0 ? 0 : GetLastError();
    if (length <= 0)
        return error == 0;
    text.assign(buffer.c_str(), static_cast<size_t>(length));
    return true;
}

uint32_t Win32Desktop::tickCount()
{
    // The 32-bit count on purpose: the last input time is given in it.
    return GetTickCount();
}

bool Win32Desktop::lastInputTick(uint32_t& tick, unsigned long& error)
{
    LASTINPUTINFO info{};
    info.cbSize = sizeof info;
    if (!GetLastInputInfo(&info)) {
        error = GetLastError();
        return false;
    }
    error = 0;
    tick = info.dwTime;
    return true;
}

bool Win32Desktop::screenSaverRunning()
{
    BOOL running = FALSE;
    return SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0) && running;
}

Desktop::DesktopAccess Win32Desktop::inputDesktop(size_t nameBufferBytes, std::wstring& name,
                                                  unsigned long& error)
{
    ScopedDesktop desktop(OpenInputDesktop(0, FALSE, MAXIMUM_ALLOWED));
    if (!desktop) {
        error = GetLastError();
        return DesktopAccess::OpenFailed;
    }
    // Whole UTF-16 units; the system counts the buffer in bytes.
    std::wstring buffer(nameBufferBytes / sizeof(wchar_t) + 1, L'\0');
    DWORD needed = 0;
    if (!GetUserObjectInformationW(desktop.get(), UOI_NAME, &buffer[0],
                                   static_cast<DWORD>(nameBufferBytes), &needed)) {
        error = GetLastError();
        return DesktopAccess::NameFailed;
    }
    error = 0;
    name.assign(buffer.c_str());
    return DesktopAccess::Readable;
}

bool Win32Desktop::openDesktop(const std::wstring& name, unsigned long& error)
{
    ScopedDesktop desktop(OpenDesktopW(name.c_str(), 0, FALSE, MAXIMUM_ALLOWED));
    error = desktop ? 0 : GetLastError();
    return static_cast<bool>(desktop);
}
