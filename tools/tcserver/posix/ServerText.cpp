#include "tools/tcserver/posix/ServerText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <locale>
#include <vector>

#include "base/Utf16.h"
#include "shared/server/Base64Device.h"

namespace ServerText {

namespace {

const std::locale& unicodeLocale()
{
    static const std::locale locale = [] {
        try {
            return std::locale("C.UTF-8");
        } catch (const std::exception&) {
            return std::locale::classic();
        }
    }();
    return locale;
}

std::vector<long> versionParts(const std::string& text)
{
    std::vector<long> parts;
    long value = 0;
    bool any = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            any = true;
        } else if (c == '.' || c == ',') {
            parts.push_back(value);
            value = 0;
            any = false;
        } else if (c != ' ') {
            break; // "1.2beta" compares as 1.2
        }
    }
    if (any || !parts.empty())
        parts.push_back(value);
    return parts;
}

} // namespace

std::wstring lower(const std::wstring& text)
{
    const auto& ctype = std::use_facet<std::ctype<wchar_t>>(unicodeLocale());
    std::wstring out(text);
    for (auto& c : out)
        c = ctype.tolower(c);
    return out;
}

std::string utf8(const std::wstring& text) { return Utf16::toUtf8(text); }
std::wstring wide(const std::string& utf8Text) { return Utf16::fromUtf8(utf8Text); }

std::string base64(const ByteArray& bytes)
{
    std::string text;
    Base64Device::base64Data(bytes, text);
    return text;
}

std::string base64(const std::string& bytes)
{
    return base64(ByteArray(bytes.data(), static_cast<int32_t>(bytes.size())));
}

bool parseDate(const std::string& text, int64_t& midnight)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    const int y = std::atoi(text.substr(0, 4).c_str());
    const int m = std::atoi(text.substr(5, 2).c_str());
    const int d = std::atoi(text.substr(8, 2).c_str());
    if (m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    const time_t t = timegm(&tm);
    // timegm normalises 2026-02-31 into March; such a date is not a day.
    std::tm back{};
    gmtime_r(&t, &back);
    if (back.tm_mday != d || back.tm_mon != m - 1)
        return false;
    midnight = static_cast<int64_t>(t);
    return true;
}

std::string date(int64_t time)
{
    const time_t t = static_cast<time_t>(time);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[16];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &tm);
    return buffer;
}

std::string clock(int64_t time)
{
    const time_t t = static_cast<time_t>(time);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[16];
    std::strftime(buffer, sizeof buffer, "%H:%M:%S", &tm);
    return buffer;
}

int compareVersions(const std::string& a, const std::string& b)
{
    std::vector<long> x = versionParts(a), y = versionParts(b);
    const size_t n = std::max(x.size(), y.size());
    x.resize(n, 0);
    y.resize(n, 0);
    for (size_t i = 0; i < n; ++i) {
        if (x[i] != y[i])
            return x[i] < y[i] ? -1 : 1;
    }
    return 0;
}

} // namespace ServerText
