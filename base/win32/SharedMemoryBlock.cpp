#include "base/SharedMemoryBlockPlatform.h"

#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

struct sharedmemoryplatform::Mapping {
    ScopedKernelHandle handle;
};

sharedmemoryplatform::Mapping* sharedmemoryplatform::open(const std::wstring& name, size_t size)
{
    const unsigned long long wide = size;
    HANDLE h = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                  static_cast<DWORD>(wide >> 32), static_cast<DWORD>(wide & 0xFFFFFFFFu),
                                  name.c_str());
    if (h == nullptr)
        return nullptr;
    return new Mapping{ScopedKernelHandle(h)};
}

void sharedmemoryplatform::close(Mapping* mapping)
{
    delete mapping; // the handle keeps the last error as it closes
}

void* sharedmemoryplatform::map(Mapping& mapping, size_t size)
{
    // A block of that name made smaller by someone else fails here rather
    // than giving a view shorter than expected.
    return MapViewOfFile(mapping.handle.get(), FILE_MAP_ALL_ACCESS, 0, 0, size);
}

void sharedmemoryplatform::unmap(void* view, size_t)
{
    const DWORD saved = GetLastError();
    UnmapViewOfFile(view);
    SetLastError(saved);
}

void sharedmemoryplatform::setNoBlockError()
{
    SetLastError(ERROR_INVALID_HANDLE);
}

void* sharedmemoryplatform::handle(const Mapping& mapping)
{
    return mapping.handle.get();
}

void sharedmemoryplatform::remove(const std::wstring&) {}
