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
