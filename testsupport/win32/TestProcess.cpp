#include "testsupport/TestProcess.h"

#include "base/win32/WindowsSupport.h"

namespace testsupport {

void TestProcess::isolate() {}

void TestProcess::setEnvironment(const std::wstring& name, const std::wstring& value)
{
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

bool TestProcess::runningUnderWine()
{
    // Wine's own ntdll exports its version; Windows' has no such entry.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace testsupport
