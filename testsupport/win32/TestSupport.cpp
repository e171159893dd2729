#include "testsupport/TestSupport.h"

#include "base/win32/RegistryRoot.h"
#include "base/win32/WindowsSupport.h"

namespace testsupport {

void TestKey::removeTree(Registry::RootKey root, const std::wstring& keyPath)
{
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

void removeKeyTree(Registry::RootKey root, const std::wstring& keyPath)
{
    // In the view the code under test writes to (the 32-bit one for
    // machine-wide keys).
    HKEY base = nullptr;
    if (RegOpenKeyExW(RegistryRoot::handleOf(root), L"", 0,
                      KEY_ALL_ACCESS | RegistryRoot::viewFlag(root), &base) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(base, keyPath.c_str());
    RegCloseKey(base);
}

} // namespace testsupport
