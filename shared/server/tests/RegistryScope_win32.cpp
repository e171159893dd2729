#include "RegistryScope.h"

#include "base/WindowsSupport.h"

RegistryScope::RegistryScope(const std::string& testName)
{
    m_keyPath = L"Software\\Ondrivex\\Tests\\" + std::wstring(testName.begin(), testName.end()) + L"-" +
                std::to_wstring(GetCurrentProcessId());
}

RegistryScope::~RegistryScope()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, m_keyPath.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_keyPath.c_str());
}
