#include "shared/framework/Clock.h"

#include <chrono>

uint32_t SystemClock::systemTickCount()
{
    // The monotonic clock in milliseconds, cut to 32 bits so that it wraps
    // like the Windows count.
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
