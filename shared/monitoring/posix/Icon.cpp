#include "shared/monitoring/Icon.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "base/Exception.h"
#include "base/Tools.h"
#include "base/posix/ScopedFd.h"

bool Icon::writeFile(const std::wstring& path, const ByteArray& bytes)
{
    const std::string name = Tools::narrowWideString(path);
    ScopedFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd)
        return false;
    const uint8_t* at = bytes.getData();
    size_t left = static_cast<size_t>(bytes.getSize());
    while (left > 0) {
        const ssize_t written = ::write(fd.get(), at, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written == 0 ? EIO : errno;
            fd.reset();
            ::unlink(name.c_str());
            errno = error;
            return false;
        }
        at += written;
        left -= static_cast<size_t>(written);
    }
    // The last close is made here rather than by the owner: a write the
    // system deferred can still fail now, and that must count.
    if (::close(fd.release()) != 0) {
        const int error = errno;
        ::unlink(name.c_str());
        errno = error;
        return false;
    }
    return true;
}

void Icon::IconTraits::free(Handle) {}

// Natively there is no loader for Windows executables: no file can be read
// for resources, and there are no icon handles.
bool Icon::getIconFromExecutable(const wchar_t* path)
{
    if (path == nullptr)
        return false;
    SystemException e(1062002, L"Unable to load application module to read resources",
                      TC_AT(L"Icon::getIconFromExecutable"));
    e.addParameter(path);
    e.addErrorInfo(ENOEXEC);
    throw e;
}

bool Icon::extractIcon(native::Module module)
{
    if (module == nullptr)
        throw Exception(1062004, L"Invalid module handle parameter", TC_AT(L"Icon::extractIcon"));
    clearImages();
    return getFirstIconID(module);
}

bool Icon::getFirstIconID(native::Module)
{
    m_hasFirstGroup = false;
    return false;
}

int Icon::enumResNameProc(native::Module, const wchar_t*, wchar_t*, intptr_t)
{
    return 0;
}

native::Icon Icon::getHICON()
{
    return nullptr;
}
