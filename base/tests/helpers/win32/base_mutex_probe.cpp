// A second process for the named mutex tests, written against the Win32
// calls directly so that it checks the mutex independently of Mutex.
//   base_mutex_probe try <name> <milliseconds>
//       exit 0: taken and released, 2: taken after its owner ended without
//       releasing, 1: still held by someone else after that time, 3: failure.
//   base_mutex_probe hold-exit <name>
//       takes it and ends without releasing (exit 0), 3 on failure.
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/win32/WindowsSupport.h"

int main(int argc, char** argv)
{
    if (argc < 3)
        return 3;
    const std::string narrow(argv[2]);
    const std::wstring name(narrow.begin(), narrow.end()); // the tests use ASCII names
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr)
        return 3;
    if (std::strcmp(argv[1], "hold-exit") == 0) {
        const DWORD rc = WaitForSingleObject(mutex, INFINITE);
        if (rc != WAIT_OBJECT_0 && rc != WAIT_ABANDONED)
            return 3;
        ExitProcess(0); // still the owner
    }
    if (std::strcmp(argv[1], "try") != 0 || argc < 4)
        return 3;
    const DWORD rc = WaitForSingleObject(mutex, static_cast<DWORD>(std::atol(argv[3])));
    switch (rc) {
    case WAIT_OBJECT_0:
        ReleaseMutex(mutex);
        return 0;
    case WAIT_ABANDONED:
        ReleaseMutex(mutex);
        return 2;
    case WAIT_TIMEOUT:
        return 1;
    default:
        return 3;
    }
}
