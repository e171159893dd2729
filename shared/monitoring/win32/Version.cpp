#include "shared/monitoring/VersionResource.h"

#include "base/win32/WindowsSupport.h"

namespace versionresource {

uint32_t size(const std::wstring& path)
{
    DWORD ignored = 0;
    return GetFileVersionInfoSizeW(path.c_str(), &ignored);
}

bool read(const std::wstring& path, uint32_t size, ByteArray& out)
{
    if (size > 0x7FFFFFFFu) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    uint8_t* buffer = out.getBuffer(static_cast<int32_t>(size));
    return GetFileVersionInfoW(path.c_str(), 0, size, buffer) != FALSE;
}

} // namespace versionresource
