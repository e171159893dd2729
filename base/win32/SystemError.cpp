#include "base/SystemError.h"

#include "base/win32/WindowsSupport.h"

unsigned long SystemError::last()
{
    return GetLastError();
}

void SystemError::set(unsigned long code)
{
    SetLastError(code);
}

std::wstring SystemError::text(unsigned long code)
{
    // System texts are a line or two; a buffer of our own keeps this unit
    // below the owners, which themselves keep the last error through it.
    wchar_t buffer[4096];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        buffer, sizeof buffer / sizeof buffer[0], nullptr);
    if (length == 0)
        return std::wstring();
    std::wstring text(buffer, length);
    const size_t end = text.find_first_of(L"\r\n");
    if (end != std::wstring::npos)
        text.erase(end);
    return text;
}
