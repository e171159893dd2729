#include "base/File.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/FilePlatform.h"
#include "base/ScopedFd_posix.h"
#include "base/Tools.h"

const wchar_t* const File::Separator = L"/";

namespace {

std::string narrow(const std::wstring& path)
{
    return Tools::narrowWideString(path);
}

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return std::string();
}

std::string systemTemp()
{
    const char* tmp = std::getenv("TMPDIR");
    return (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
}

bool makeFolders(const std::string& path)
{
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/')
            continue;
        if (::mkdir(path.substr(0, pos).c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool fileplatform::isSeparator(wchar_t c)
{
    return c == L'/';
}

bool fileplatform::hasDrives()
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

void File::save(const std::wstring& path, const ByteArray& bytes)
{
    ScopedFd fd(::open(narrow(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd)
        return;
    const uint8_t* data = bytes.getData();
    size_t left = bytes.getSize() > 0 ? static_cast<size_t>(bytes.getSize()) : 0;
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        left -= static_cast<size_t>(n);
    }
}

bool File::load(const std::wstring& path, ByteArray& bytes, int maximum)
{
    bytes.clear();
    ScopedFd fd(::open(narrow(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int64_t limit = maximum > 0 ? maximum : 0;
    int64_t wanted = st.st_size;
    if (wanted > limit) {
        fileplatform::traceTooLarge(path);
        wanted = limit;
    }
    if (wanted == 0)
        return true;
    uint8_t* data = bytes.getBuffer(static_cast<int32_t>(wanted));
    int64_t done = 0;
    while (done < wanted) {
        const ssize_t n = ::read(fd.get(), data + done, static_cast<size_t>(wanted - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            bytes.clear();
            return false;
        }
        if (n == 0)
            break; // the file shrank since it was sized
        done += n;
    }
    if (done < wanted)
        bytes.resize(static_cast<int32_t>(done));
    return true;
}

int64_t File::getLastModificationTime(const std::wstring& path)
{
    struct stat st {};
    if (path.empty() || ::stat(narrow(path).c_str(), &st) != 0)
        return 0;
    return static_cast<int64_t>(st.st_mtime);
}

fileplatform::FolderResult fileplatform::systemTempFolder(std::wstring& folder)
{
    const std::string tmp = systemTemp();
    if (tmp.size() >= PATH_MAX)
        return FolderResult::TooLong;
    folder = Tools::widenNarrowString(tmp);
    return FolderResult::Ok;
}

bool fileplatform::localDataFolder(std::wstring& folder)
{
    std::string base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // The base directory specification ignores relative paths here.
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const std::string home = homeFolder();
        if (home.empty()) {
            errno = ENOENT;
            return false;
        }
        base = home + "/.local/share";
    }
    if (!makeFolders(base))
        return false;
    folder = Tools::widenNarrowString(base);
    return true;
}

std::wstring fileplatform::cleanFolder(const std::wstring& folder)
{
    // Only trailing separators go: a leading one makes the path absolute.
    std::wstring cleaned = folder;
    while (cleaned.size() > 1 && cleaned.back() == L'/')
        cleaned.pop_back();
    return cleaned == L"/" ? std::wstring() : cleaned;
}

bool fileplatform::makeFolder(const std::wstring& path)
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

bool fileplatform::deleteFilesOfType(const std::wstring& folder, const std::wstring& extension)
{
    const std::string dirPath = narrow(folder);
    DIR* dir = ::opendir(dirPath.c_str());
    if (dir == nullptr)
        return false;
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
    ::closedir(dir);
    if (!ok)
        errno = firstError;
    return ok;
}
