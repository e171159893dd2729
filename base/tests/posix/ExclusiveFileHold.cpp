#include "ExclusiveFileHold.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "base/Utf16.h"

testsupport::ExclusiveFileHold::ExclusiveFileHold(const std::wstring& path)
{
    const int fd = ::open(Utf16::toUtf8(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    m_held = true;
    m_handle = fd;
}

testsupport::ExclusiveFileHold::~ExclusiveFileHold()
{
    if (m_held)
        ::close(static_cast<int>(m_handle));
}
