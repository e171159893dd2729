#include "base/FileLogDevice.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "base/Tools.h"
#include "base/posix/ScopedFd.h"

bool FileLogDevice::appendExclusive(const std::wstring& path, const void* data, size_t size)
{
    const ScopedFd file(::open(Tools::narrowWideString(path).c_str(),
                               O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!file)
        return false;
    const int fd = file.get();
    // An exclusive advisory lock stands in for opening without sharing; like
    // a sharing violation, a held lock means this event is skipped.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return false;
    const char* bytes = static_cast<const char*>(data);
    bool ok = true;
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n <= 0) {
            ok = false;
            break;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    ::flock(fd, LOCK_UN);
    return ok;
}
