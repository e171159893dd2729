#include "base/MachineSwitches.h"

#include "base/Registry.h"

namespace {

int readSwitch(const std::wstring& name, int defaultValue)
{
    try {
        return Registry(Registry::LocalMachine).read(name, defaultValue);
    } catch (...) {
        return defaultValue;
    }
}

} // namespace

int MachineSwitches::win32ExceptionHandler()
{
    return readSwitch(L"Win32ExceptionHandler", 1);
}

int MachineSwitches::stackTraceInfoDepth()
{
    return readSwitch(L"StackTraceInfoDepth", 0);
}

bool MachineSwitches::logSwitch(const std::wstring& applicationName, const wchar_t* suffix)
{
    return readSwitch(applicationName + suffix, 0) > 0;
}
