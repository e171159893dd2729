#include "FrameworkFakes.h"

#if defined(_WIN32)
#include <process.h>
#define tc_getpid _getpid
#else
#include <unistd.h>
#define tc_getpid getpid
#endif

std::wstring frameworktest::uniqueName(const std::wstring& stem)
{
    return stem + std::to_wstring(static_cast<long>(tc_getpid()));
}
