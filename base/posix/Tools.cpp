#include "base/Tools.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

#include "base/Utf16.h"

namespace {

std::string hostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return std::string();
    return name;
}

} // namespace

// Natively the conversion cannot fail: malformed input becomes U+FFFD.
std::wstring Tools::widenNarrowString(const std::string& narrow)
{
    return Utf16::fromUtf8(narrow);
}

std::string Tools::narrowWideString(const std::wstring& wide)
{
    return Utf16::toUtf8(wide);
}

bool Tools::accountName(std::wstring& account)
{
    // The local machine stands for the domain, as it does for a local
    // account on Windows.
    std::string user;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    const int rc = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found);
    if (rc == 0 && found != nullptr && found->pw_name != nullptr && *found->pw_name != '\0') {
        user = found->pw_name;
    } else {
        const char* env = std::getenv("USER");
        if (env == nullptr || *env == '\0')
            env = std::getenv("LOGNAME");
        if (env == nullptr || *env == '\0') {
            if (rc != 0)
                errno = rc;
            else if (errno == 0)
                errno = ENOENT;
            return false;
        }
        user = env;
    }
    std::string host = hostName();
    const size_t dot = host.find('.');
    if (dot != std::string::npos)
        host.erase(dot);
    account = Tools::widenNarrowString(host + "\\" + user);
    return true;
}

bool Tools::getMachineName(std::wstring& computer, std::wstring& group)
{
    computer.clear();
    group.clear();
    std::string host = hostName();
    if (host.empty())
        return false;
    std::string domain;
    const size_t dot = host.find('.');
    if (dot != std::string::npos) {
        domain = host.substr(dot + 1);
        host.erase(dot);
    }
    if (domain.empty()) {
        char nis[256] = {};
        if (::getdomainname(nis, sizeof nis - 1) == 0 && nis[0] != '\0' &&
            std::strcmp(nis, "(none)") != 0)
            domain = nis;
    }
    computer = widenNarrowString(host);
    // A machine in no domain answers with the default workgroup, as Windows does.
    group = domain.empty() ? L"WORKGROUP" : widenNarrowString(domain);
    return true;
}

bool Tools::isCurrentApp()
{
    return false;
}

native::Window Tools::getMyTopLevelHWND()
{
    return nullptr;
}

std::wstring Tools::getExecutablePath()
{
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0)
        return std::wstring();
    return widenNarrowString(std::string(buffer.data(), static_cast<size_t>(length)));
}
