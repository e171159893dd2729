#include "base/SharedMemoryBlock.h"

#include "base/ScopedHandle_win32.h"
#include "base/WindowsSupport.h"

namespace {

struct ViewTraits {
    using Handle = void*;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { UnmapViewOfFile(h); }
};

using ScopedView = scoped::ScopedHandle<ViewTraits>;

} // namespace

struct SharedMemoryBlock::Impl {
    ScopedView view; // released before the mapping
    ScopedKernelHandle mapping;
    size_t size = 0;
};

SharedMemoryBlock::SharedMemoryBlock() : m_impl(new Impl) {}
SharedMemoryBlock::~SharedMemoryBlock() = default;

// A moved-from object is left empty rather than without its state.
SharedMemoryBlock::SharedMemoryBlock(SharedMemoryBlock&& other) : m_impl(new Impl)
{
    m_impl.swap(other.m_impl);
}

SharedMemoryBlock& SharedMemoryBlock::operator=(SharedMemoryBlock&& other)
{
    if (this != &other) {
        close();
        m_impl.swap(other.m_impl);
    }
    return *this;
}

bool SharedMemoryBlock::create(const std::wstring& name, size_t size)
{
    close();
    const unsigned long long wide = size;
    HANDLE h = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                  static_cast<DWORD>(wide >> 32), static_cast<DWORD>(wide & 0xFFFFFFFFu),
                                  name.c_str());
    if (h == nullptr)
        return false;
    m_impl->mapping.reset(h);
    m_impl->size = size;
    return true;
}

bool SharedMemoryBlock::map()
{
    if (!m_impl->mapping) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    // A block of that name made smaller by someone else fails here rather
    // than giving a view shorter than expected.
    void* view = MapViewOfFile(m_impl->mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, m_impl->size);
    if (view == nullptr)
        return false;
    m_impl->view.reset(view);
    return true;
}

void SharedMemoryBlock::close()
{
    m_impl->view.reset();
    m_impl->mapping.reset();
    m_impl->size = 0;
}

uint8_t* SharedMemoryBlock::data() const
{
    return static_cast<uint8_t*>(m_impl->view.get());
}

size_t SharedMemoryBlock::size() const
{
    return m_impl->size;
}

void* SharedMemoryBlock::getHandle() const
{
    return m_impl->mapping.get();
}

void SharedMemoryBlock::remove(const std::wstring&) {}
