// Holds a queue file open, as another program on the user's machine might
// (a backup or a virus scanner), until its standard input closes.
//   srv_queue_holder PATH MARKER hold    open, shared for reading and writing
//   srv_queue_holder PATH MARKER lock    the same, and lock the record area
// MARKER is created once the file is held. Exit 0, or 2 when the file could
// not be opened or locked.
#include "base/win32/WindowsSupport.h"

#include <shellapi.h>

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc != 4)
        return 1;
    const HANDLE file =
        CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    if (lstrcmpW(argv[3], L"lock") == 0) {
        OVERLAPPED at{};
        at.Offset = 25600;
        if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 0x40000000, 0,
                        &at))
            return 2;
    }
    const HANDLE marker = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    char buffer[64];
    DWORD got = 0;
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    CloseHandle(file);
    return 0;
}
