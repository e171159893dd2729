#include "base/File.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/posix/PosixSupport.h"
#include "base/posix/ScopedFd.h"
#include "base/Tools.h"

const wchar_t* const File::Separator = L"/";

namespace {

std::string narrow(const std::wstring& path)
{
    return Tools::narrowWideString(path);
}

std::string systemTemp()
{
    const char* tmp = std::getenv("TMPDIR");
    return (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
}

} // namespace

bool File::isSeparator(wchar_t c)
{
    return c == L'/';
}

bool File::hasDrives()
{
    return false;
}

bool File::exists(const std::wstring& path)
{
    struct stat st {};
    return !path.empty() && ::stat(narrow(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool File::directoryExists(const std::wstring& path)
{
    struct stat st {};
    return !path.empty() && ::stat(narrow(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool File::createTempFileName(std::wstring& out, const std::wstring& prefix)
{
    std::string pattern = systemTemp();
    while (pattern.size() > 1 && pattern.back() == '/')
        pattern.pop_back();
    pattern += "/" + narrow(prefix) + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    ScopedFd fd(::mkstemp(buffer.data()));
    if (!fd)
        return false;
    out = Tools::widenNarrowString(buffer.data());
    return true;
}

File::OpenFile::Traits::Handle File::OpenFile::Traits::invalid()
{
    return PosixSupport::handleOf(scoped::FdTraits::invalid());
}

bool File::OpenFile::Traits::isValid(Handle h)
{
    return scoped::FdTraits::isValid(PosixSupport::fdOf(h));
}

void File::OpenFile::Traits::free(Handle h)
{
    scoped::FdTraits::free(PosixSupport::fdOf(h));
}

File::OpenFile::OpenFile(const std::wstring& path, Mode mode)
{
    const int flags = mode == Read ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
    m_handle.reset(PosixSupport::handleOf(::open(narrow(path).c_str(), flags | O_CLOEXEC, 0644)));
}

bool File::OpenFile::size(int64_t& bytes) const
{
    struct stat st {};
    if (::fstat(PosixSupport::fdOf(m_handle.get()), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    bytes = static_cast<int64_t>(st.st_size);
    return true;
}

int64_t File::OpenFile::read(uint8_t* data, size_t n)
{
    for (;;) {
        const ssize_t got = ::read(PosixSupport::fdOf(m_handle.get()), data, n);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

int64_t File::OpenFile::write(const uint8_t* data, size_t n)
{
    for (;;) {
        const ssize_t put = ::write(PosixSupport::fdOf(m_handle.get()), data, n);
        if (put >= 0 || errno != EINTR)
            return put;
    }
}

int64_t File::getLastModificationTime(const std::wstring& path)
{
    struct stat st {};
    if (path.empty() || ::stat(narrow(path).c_str(), &st) != 0)
        return 0;
    return static_cast<int64_t>(st.st_mtime);
}

File::FolderResult File::systemTempFolder(std::wstring& folder)
{
    const std::string tmp = systemTemp();
    if (tmp.size() >= PATH_MAX)
        return FolderResult::TooLong;
    folder = Tools::widenNarrowString(tmp);
    return FolderResult::Ok;
}

bool File::localDataFolder(std::wstring& folder)
{
    std::string base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // XDG folder variables holding a relative path are to be ignored.
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const std::string home = PosixSupport::homeFolder();
        if (home.empty()) {
            errno = ENOENT;
            return false;
        }
        base = home + "/.local/share";
    }
    if (!PosixSupport::makeFolders(base))
        return false;
    folder = Tools::widenNarrowString(base);
    return true;
}

std::wstring File::cleanFolder(const std::wstring& folder)
{
    // Only trailing separators go: a leading one makes the path absolute.
    std::wstring cleaned = folder;
    while (cleaned.size() > 1 && cleaned.back() == L'/')
        cleaned.pop_back();
    return cleaned == L"/" ? std::wstring() : cleaned;
}

bool File::makeFolder(const std::wstring& path)
{
    const std::string p = narrow(path);
    if (::mkdir(p.c_str(), 0700) == 0)
        return true;
    const int error = errno;
    if (error == EEXIST && File::directoryExists(path))
        return true;
    errno = error;
    return false;
}

bool File::deleteFilesOfType(const std::wstring& folder, const std::wstring& extension)
{
    const std::string dirPath = narrow(folder);
    const ScopedDir owner(::opendir(dirPath.c_str()));
    if (!owner)
        return false;
    DIR* dir = owner.get();
    bool ok = true;
    int firstError = 0;
    while (dirent* entry = ::readdir(dir)) {
        const std::wstring name = Tools::widenNarrowString(entry->d_name);
        if (!File::isOfType(name, extension))
            continue;
        const std::string full = dirPath + "/" + entry->d_name;
        struct stat st {};
        if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (::unlink(full.c_str()) != 0 && errno != ENOENT) {
            if (ok)
                firstError = errno;
            ok = false;
        }
    }
    if (!ok)
        errno = firstError;
    return ok;
}
