#include "base/Tools.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

#include "base/ToolsPlatform.h"

namespace {

const wchar_t Replacement = 0xFFFD;

// Decodes one UTF-8 sequence starting at i; malformed or overlong input and
// encoded surrogates give U+FFFD for one byte so decoding always advances.
wchar_t decodeOne(const std::string& s, size_t& i)
{
    const unsigned char b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return static_cast<wchar_t>(b0);
    }
    int extra;
    uint32_t cp;
    uint32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1; cp = b0 & 0x1F; minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2; cp = b0 & 0x0F; minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3; cp = b0 & 0x07; minimum = 0x10000;
    } else {
        ++i;
        return Replacement;
    }
    if (i + static_cast<size_t>(extra) >= s.size()) {
        ++i;
        return Replacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return Replacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return Replacement;
    }
    i += static_cast<size_t>(extra) + 1;
    return static_cast<wchar_t>(cp);
}

void encodeOne(uint32_t cp, std::string& out)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// strerror_r comes in two shapes; either way the text ends up in the buffer
// or behind the returned pointer.
[[maybe_unused]] const char* errorText(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* errorText(const char* result, const char*) { return result; }

std::string hostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return std::string();
    return name;
}

} // namespace

std::wstring Tools::widenNarrowString(const std::string& narrow)
{
    std::wstring wide;
    wide.reserve(narrow.size());
    size_t i = 0;
    while (i < narrow.size())
        wide += decodeOne(narrow, i);
    return wide;
}

std::string Tools::narrowWideString(const std::wstring& wide)
{
    std::string narrow;
    narrow.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        uint32_t cp = static_cast<uint32_t>(wide[i]);
        // A surrogate pair kept as two units still means one character.
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size()) {
            const uint32_t low = static_cast<uint32_t>(wide[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        encodeOne(cp, narrow);
    }
    return narrow;
}

std::wstring Tools::lookupErrorDescription(unsigned long code)
{
    if (code > static_cast<unsigned long>(INT_MAX))
        return std::wstring();
    char buffer[256] = {};
    const char* text = errorText(::strerror_r(static_cast<int>(code), buffer, sizeof buffer), buffer);
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0)
        return std::wstring();
    std::wstring wide = widenNarrowString(text);
    const size_t end = wide.find_first_of(L"\r\n");
    if (end != std::wstring::npos)
        wide.erase(end);
    return wide;
}

unsigned long Tools::getLastSystemError()
{
    return static_cast<unsigned long>(errno);
}

void Tools::setLastSystemError(unsigned long code)
{
    errno = static_cast<int>(code);
}

bool toolsplatform::accountName(std::wstring& account)
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
        if (::getdomainname(nis, sizeof nis - 1) == 0 && nis[0] != '\0' && std::strcmp(nis, "(none)") != 0)
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

void* Tools::getMyTopLevelHWND()
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
