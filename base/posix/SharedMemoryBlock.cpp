#include "base/SharedMemoryBlock.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/SystemError.h"
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

struct SharedMemoryBlock::Mapping {
    ScopedFd fd;
};

SharedMemoryBlock::Mapping* SharedMemoryBlock::openMapping(const std::wstring& name, size_t size)
{
    ScopedFd fd(shm_open(posixName(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd)
        return nullptr;
    struct stat st {};
    if (fstat(fd.get(), &st) != 0)
        return nullptr;
    // Growing a new (or shorter) object fills it with zeros; an object that
    // is already long enough keeps its content, as an opened mapping does.
    if (static_cast<unsigned long long>(st.st_size) < size &&
        ftruncate(fd.get(), static_cast<off_t>(size)) != 0)
        return nullptr;
    return new Mapping{std::move(fd)};
}

void SharedMemoryBlock::MappingDeleter::operator()(Mapping* mapping) const
{
    delete mapping; // the descriptor keeps errno as it closes
}

void* SharedMemoryBlock::mapView(Mapping& mapping, size_t size)
{
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, mapping.fd.get(), 0);
    return view == MAP_FAILED ? nullptr : view;
}

void SharedMemoryBlock::unmapView(void* view, size_t size)
{
    SystemError::Keep keep;
    munmap(view, size);
}

void SharedMemoryBlock::setNoBlockError()
{
    errno = EBADF;
}

native::Handle SharedMemoryBlock::handleOf(const Mapping&)
{
    return nullptr;
}

void SharedMemoryBlock::removeName(const std::wstring& name)
{
    SystemError::Keep keep;
    shm_unlink(posixName(name).c_str());
}
