#include "shared/monitoring/win32/SystemSingleton.h"

#include "base/Event.h"
#include "base/Logger.h"
#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

SystemSingleton::SystemSingleton() = default;

SystemSingleton::~SystemSingleton()
{
    close();
}

void SystemSingleton::close()
{
    m_handle.reset();
}

bool SystemSingleton::create(const wchar_t* name)
{
    close();
    if (name == nullptr)
        return false;
    // 32 bytes of the paging file, read-only: nothing is ever stored, only
    // the name matters.
    SetLastError(ERROR_SUCCESS);
    ScopedKernelHandle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 32, name));
    const DWORD error = GetLastError();
    if (!mapping) {
        if (error == ERROR_ACCESS_DENIED) {
            Event e(1061601, L"SystemSingleton::create failed. Access denied",
                    TC_AT(L"SystemSingleton::create"));
            e.addDetails(L"Object Name", name);
            Logger::Log(e);
        }
        // Without an object no other instance can be told apart from a
        // system failure: not a success either way.
        return false;
    }
    m_handle = std::move(mapping);
    if (error == ERROR_ALREADY_EXISTS) {
        Event e(1061602, L"SystemSingleton::create failed. Name already existed",
                TC_AT(L"SystemSingleton::create"));
        e.addDetails(L"Object Name", name);
        Logger::Log(e);
        return false;
    }
    return true;
}

bool SystemSingleton::doesObjectExist(const wchar_t* name)
{
    if (name == nullptr)
        return false;
    ScopedKernelHandle mapping(OpenFileMappingW(FILE_MAP_WRITE, FALSE, name));
    return mapping.valid();
}
