#include "testsupport/TestSupport.h"

#include "base/win32/RegistryRoot.h"
#include "base/win32/WindowsSupport.h"

namespace testsupport {

void TestKey::removeTree(Registry::RootKey root, const std::wstring& keyPath)
{
    RegDeleteTreeW(RegistryRoot::handleOf(root), keyPath.c_str());
}

} // namespace testsupport
