#include "base/SystemError.h"

#include "base/win32/ScopedHandle.h"
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
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    ScopedLocalMemory owner(buffer);
    if (length == 0 || buffer == nullptr)
        return std::wstring();
    std::wstring text(buffer, length);
    const size_t end = text.find_first_of(L"\r\n");
    if (end != std::wstring::npos)
        text.erase(end);
    return text;
}
