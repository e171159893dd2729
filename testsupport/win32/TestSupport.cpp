#include "testsupport/TestSupport.h"

#include "base/win32/RegistryRoot.h"
#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

namespace testsupport {

void TestKey::removeTree(Registry::RootKey root, const std::wstring& keyPath)
{
    // In the view the code under test writes to (the 32-bit one for
    // machine-wide keys).
    ScopedRegKey base;
    if (RegOpenKeyExW(RegistryRoot::handleOf(root), L"", 0,
                      KEY_ALL_ACCESS | RegistryRoot::viewFlag(root),
                      base.receive()) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(base.get(), keyPath.c_str());
}

} // namespace testsupport
