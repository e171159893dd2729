#include "shared/framework/Timer.h"

#include "base/Mutex.h"
#include "shared/framework/Clock.h"

// Natively there is no window: the tick source is the table of due tick
// counts that Timer::process reads, driven by the system's clock unless a
// test's clock drives it.
namespace {

// The native counterpart of the window's existence: without it timers do
// not tick.
bool g_started = false;

const Clock& tickSource(const Clock* driving)
{
    return driving != nullptr ? *driving : Clock::system();
}

} // namespace

bool Timer::createHiddenWindow()
{
    g_started = true;
    return true;
}

void Timer::startUp()
{
    AutoMutex guard(timersLock());
    if (!g_started)
        createHiddenWindow();
}

void Timer::shutDown()
{
    AutoMutex guard(timersLock());
    // Closing the window ends its timers; the list keeps its entries.
    g_started = false;
    clearClockTicks();
    s_tickClock = nullptr;
}

void Timer::armTick(uint32_t id, unsigned delayMs)
{
    AutoMutex guard(timersLock());
    if (g_started)
        armClockTick(id, delayMs, tickSource(s_tickClock));
}

void Timer::disarmTick(uint32_t id)
{
    disarmClockTick(id);
}

void Timer::process()
{
    const Clock* driving = nullptr;
    {
        AutoMutex guard(timersLock());
        driving = s_tickClock;
    }
    processClockTicks(tickSource(driving));
}
