#include "base/FileLogDevice.h"

#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

bool FileLogDevice::appendExclusive(const std::wstring& path, const void* data, size_t size)
{
    const ScopedKernelHandle owner(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!owner)
        return false;
    const HANDLE file = owner.get();
    bool ok = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER ||
              GetLastError() == NO_ERROR;
    DWORD written = 0;
    if (ok && size > 0)
        ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    return ok;
}
