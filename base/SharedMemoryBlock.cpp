#include "base/SharedMemoryBlock.h"

struct SharedMemoryBlock::Impl {
    std::unique_ptr<Mapping, MappingDeleter> mapping;
    void* view = nullptr;
    size_t size = 0;

    void unmap()
    {
        if (view != nullptr) {
            unmapView(view, size);
            view = nullptr;
        }
    }
    // The view goes before the mapping.
    ~Impl() { unmap(); }
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
    Mapping* mapping = openMapping(name, size);
    if (mapping == nullptr)
        return false;
    m_impl->mapping.reset(mapping);
    m_impl->size = size;
    return true;
}

bool SharedMemoryBlock::map()
{
    if (!m_impl->mapping) {
        setNoBlockError();
        return false;
    }
    void* view = mapView(*m_impl->mapping, m_impl->size);
    if (view == nullptr)
        return false;
    m_impl->unmap();
    m_impl->view = view;
    return true;
}

void SharedMemoryBlock::close()
{
    m_impl->unmap();
    m_impl->mapping.reset();
    m_impl->size = 0;
}

uint8_t* SharedMemoryBlock::data() const
{
    return static_cast<uint8_t*>(m_impl->view);
}

size_t SharedMemoryBlock::size() const
{
    return m_impl->size;
}

native::Handle SharedMemoryBlock::getHandle() const
{
    return m_impl->mapping ? handleOf(*m_impl->mapping) : nullptr;
}

void SharedMemoryBlock::remove(const std::wstring& name)
{
    removeName(name);
}
