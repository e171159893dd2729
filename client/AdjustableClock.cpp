#include "client/AdjustableClock.h"

int64_t AdjustableClock::now() const
{
    return m_base.now() + m_offsetMs.load() / 1000;
}

uint32_t AdjustableClock::tickCount() const
{
    // The count wraps as the system's does.
    return m_base.tickCount() + static_cast<uint32_t>(m_offsetMs.load());
}

bool AdjustableClock::advance(int64_t seconds)
{
    if (seconds <= 0 || seconds > LongestStep)
        return false;
    m_offsetMs += seconds * 1000;
    return true;
}
