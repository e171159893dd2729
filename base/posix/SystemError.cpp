#include "base/SystemError.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include "base/Utf16.h"

namespace {

// strerror_r comes in two shapes; either way the text ends up in the buffer
// or behind the returned pointer.
[[maybe_unused]] const char* errorText(int result, const char* buffer)
{
    return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* errorText(const char* result, const char*)
{
    return result;
}

} // namespace

unsigned long SystemError::last()
{
    return static_cast<unsigned long>(errno);
}

void SystemError::set(unsigned long code)
{
    errno = static_cast<int>(code);
}

std::wstring SystemError::text(unsigned long code)
{
    if (code > static_cast<unsigned long>(INT_MAX))
        return std::wstring();
    char buffer[256] = {};
    const char* text =
        errorText(::strerror_r(static_cast<int>(code), buffer, sizeof buffer), buffer);
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0)
        return std::wstring();
    std::wstring wide = Utf16::fromUtf8(text);
    const size_t end = wide.find_first_of(L"\r\n");
    if (end != std::wstring::npos)
        wide.erase(end);
    return wide;
}
