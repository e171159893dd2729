#include "base/SharedMemoryBlock.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/ScopedFd_posix.h"
#include "base/Tools.h"

namespace {

// POSIX shared-memory names are one path component after a leading slash.
std::string posixName(const std::wstring& name)
{
    std::string narrow = Tools::narrowWideString(name);
    for (char& c : narrow) {
        if (c == '/')
            c = '_';
    }
    return "/" + narrow;
}

} // namespace

struct SharedMemoryBlock::Impl {
    ScopedFd fd;
    void* view = nullptr;
    size_t size = 0;

    void unmap()
    {
        if (view != nullptr) {
            const int saved = errno;
            munmap(view, size);
            errno = saved;
            view = nullptr;
        }
    }
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
    ScopedFd fd(shm_open(posixName(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd)
        return false;
    struct stat st {};
    if (fstat(fd.get(), &st) != 0)
        return false;
    // Growing a new (or shorter) object fills it with zeros; an object that
    // is already long enough keeps its content, as an opened mapping does.
    if (static_cast<unsigned long long>(st.st_size) < size && ftruncate(fd.get(), static_cast<off_t>(size)) != 0)
        return false;
    m_impl->fd = std::move(fd);
    m_impl->size = size;
    return true;
}

bool SharedMemoryBlock::map()
{
    if (!m_impl->fd) {
        errno = EBADF;
        return false;
    }
    void* view = mmap(nullptr, m_impl->size, PROT_READ | PROT_WRITE, MAP_SHARED, m_impl->fd.get(), 0);
    if (view == MAP_FAILED)
        return false;
    m_impl->unmap();
    m_impl->view = view;
    return true;
}

void SharedMemoryBlock::close()
{
    m_impl->unmap();
    m_impl->fd.reset();
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

void* SharedMemoryBlock::getHandle() const
{
    return nullptr;
}

void SharedMemoryBlock::remove(const std::wstring& name)
{
    const int saved = errno;
    shm_unlink(posixName(name).c_str());
    errno = saved;
}
