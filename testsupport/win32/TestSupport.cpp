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
    RegDeleteTreeW(registrystore::rootHandle(root), keyPath.c_str());
}

} // namespace testsupport
