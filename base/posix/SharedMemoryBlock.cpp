#include "base/SharedMemoryBlockPlatform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/posix/ScopedFd.h"
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

struct sharedmemoryplatform::Mapping {
    ScopedFd fd;
};

sharedmemoryplatform::Mapping* sharedmemoryplatform::open(const std::wstring& name, size_t size)
{
    ScopedFd fd(shm_open(posixName(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd)
        return nullptr;
    struct stat st {};
    if (fstat(fd.get(), &st) != 0)
        return nullptr;
    // Growing a new (or shorter) object fills it with zeros; an object that
    // is already long enough keeps its content, as an opened mapping does.
    if (static_cast<unsigned long long>(st.st_size) < size && ftruncate(fd.get(), static_cast<off_t>(size)) != 0)
        return nullptr;
    return new Mapping{std::move(fd)};
}

void sharedmemoryplatform::close(Mapping* mapping)
{
    delete mapping; // the descriptor keeps errno as it closes
}

void* sharedmemoryplatform::map(Mapping& mapping, size_t size)
{
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, mapping.fd.get(), 0);
    return view == MAP_FAILED ? nullptr : view;
}

void sharedmemoryplatform::unmap(void* view, size_t size)
{
    const int saved = errno;
    munmap(view, size);
    errno = saved;
}

void sharedmemoryplatform::setNoBlockError()
{
    errno = EBADF;
}

void* sharedmemoryplatform::handle(const Mapping&)
{
    return nullptr;
}

void sharedmemoryplatform::remove(const std::wstring& name)
{
    const int saved = errno;
    shm_unlink(posixName(name).c_str());
    errno = saved;
}
