#include "shared/monitoring/Version.h"

#include "base/ByteArray.h"

#include "base/win32/WindowsSupport.h"

uint32_t Version::resourceSize(const std::wstring& path)
{
    DWORD ignored = 0;
    return GetFileVersionInfoSizeW(path.c_str(), &ignored);
}

bool Version::readResource(const std::wstring& path, uint32_t size, ByteArray& out)
{
    if (size > 0x7FFFFFFFu) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    uint8_t* buffer = out.getBuffer(static_cast<int32_t>(size));
    return GetFileVersionInfoW(path.c_str(), 0, size, buffer) != FALSE;
}
