#include "shared/server/QueueFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Tools.h"

namespace {

std::string narrow(const std::wstring& path)
{
    return Tools::narrowWideString(path);
}

} // namespace

QueueFile::~QueueFile()
{
    close();
}

bool QueueFile::open(bool create)
{
    close();
    const int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0);
    m_handle = ::open(narrow(m_path).c_str(), flags, 0644);
    if (m_handle < 0)
        return false;
    struct stat st {};
    if (::fstat(static_cast<int>(m_handle), &st) != 0 || !S_ISREG(st.st_mode)) {
        close();
        errno = EISDIR;
        return false;
    }
    return true;
}

bool QueueFile::isOpen() const
{
    return m_handle >= 0;
}

void QueueFile::close()
{
    if (m_handle >= 0) {
        const int saved = errno;
        ::close(static_cast<int>(m_handle));
        errno = saved;
        m_handle = -1;
    }
}

bool QueueFile::size(int64_t& bytes)
{
    struct stat st {};
    if (m_handle < 0 || ::fstat(static_cast<int>(m_handle), &st) != 0)
        return false;
    bytes = static_cast<int64_t>(st.st_size);
    return true;
}

bool QueueFile::readAt(int64_t offset, void* data, size_t n)
{
    if (m_handle < 0 || offset < 0)
        return false;
    auto* p = static_cast<uint8_t*>(data);
    while (n > 0) {
        const ssize_t got = ::pread(static_cast<int>(m_handle), p, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        offset += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool QueueFile::writeAt(int64_t offset, const void* data, size_t n)
{
    if (m_handle < 0 || offset < 0)
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        const ssize_t put = ::pwrite(static_cast<int>(m_handle), p, n, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        p += put;
        offset += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

bool QueueFile::sync()
{
    return m_handle >= 0 && ::fsync(static_cast<int>(m_handle)) == 0;
}

bool QueueFile::setHidden()
{
    return true;
}

bool QueueFile::remove()
{
    close();
    return ::unlink(narrow(m_path).c_str()) == 0;
}

bool QueueFile::replaceWith(const std::wstring& source)
{
    close();
    return ::rename(narrow(source).c_str(), narrow(m_path).c_str()) == 0;
}
