#include "shared/framework/Clock.h"

#include "base/Tools.h"

Clock::~Clock() = default;

const Clock& Clock::system()
{
    static const SystemClock s_clock;
    return s_clock;
}

int64_t SystemClock::now() const
{
    return Tools::getCurrentTime();
}

uint32_t SystemClock::tickCount() const
{
    return systemTickCount();
}

void ManualClock::advanceMs(int64_t milliseconds)
{
    if (milliseconds <= 0)
        return;
    const int64_t total = m_millis + milliseconds;
    m_now += total / 1000;
    m_millis = total % 1000;
    // The count wraps as the system's does.
    m_tickCount = static_cast<uint32_t>(m_tickCount + static_cast<uint64_t>(milliseconds));
}
