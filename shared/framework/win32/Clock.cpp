#include "shared/framework/Clock.h"

#include "base/win32/WindowsSupport.h"

uint32_t SystemClock::systemTickCount()
{
    // The 32-bit count on purpose: the last-input time is given in it.
    return GetTickCount();
}
