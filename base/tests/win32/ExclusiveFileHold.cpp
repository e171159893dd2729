#include "ExclusiveFileHold.h"

#include "base/win32/WindowsSupport.h"

testsupport::ExclusiveFileHold::ExclusiveFileHold(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    m_held = h != INVALID_HANDLE_VALUE;
    m_handle = reinterpret_cast<intptr_t>(h);
}

testsupport::ExclusiveFileHold::~ExclusiveFileHold()
{
    if (m_held)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}
