#include "base/SharedMemoryBlock.h"

#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

struct SharedMemoryBlock::Mapping {
    ScopedKernelHandle handle;
};

SharedMemoryBlock::Mapping* SharedMemoryBlock::openMapping(const std::wstring& name, size_t size)
{
    const unsigned long long wide = size;
    HANDLE h = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                  static_cast<DWORD>(wide >> 32),
                                  static_cast<DWORD>(wide & 0xFFFFFFFFu), name.c_str());
    if (h == nullptr)
        return nullptr;
    return new Mapping{ScopedKernelHandle(h)};
}

void SharedMemoryBlock::MappingDeleter::operator()(Mapping* mapping) const
{
    delete mapping; // the handle keeps the last error as it closes
}

void* SharedMemoryBlock::mapView(Mapping& mapping, size_t size)
{
    // A block of that name made smaller by someone else fails here rather
    // than giving a view shorter than expected.
    return MapViewOfFile(mapping.handle.get(), FILE_MAP_ALL_ACCESS, 0, 0, size);
}

void SharedMemoryBlock::unmapView(void* view, size_t)
{
    ScopedView unmapping(view);
}

void SharedMemoryBlock::setNoBlockError()
{
    SetLastError(ERROR_INVALID_HANDLE);
}

native::Handle SharedMemoryBlock::handleOf(const Mapping& mapping)
{
    return mapping.handle.get();
}

void SharedMemoryBlock::removeName(const std::wstring&) {}
