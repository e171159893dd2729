#include "testsupport/TestSupport.h"

#include "base/win32/RegistryRoot.h"
#include "base/win32/WindowsSupport.h"
#include "testsupport/TestSupportPlatform.h"

namespace testsupport {

void isolateProcess() {}

void setEnvironment(const std::wstring& name, const std::wstring& value)
{
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

void removeKeyTree(Registry::RootKey root, const std::wstring& keyPath)
{
    // In the view the code under test writes to (the 32-bit one for
    // machine-wide keys).
    HKEY base = nullptr;
    if (RegOpenKeyExW(registrystore::rootHandle(root), L"", 0,
                      KEY_ALL_ACCESS | registrystore::viewFlag(root), &base) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(base, keyPath.c_str());
    RegCloseKey(base);
}

} // namespace testsupport
