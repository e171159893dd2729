#include "shared/framework/Timer.h"

#include <chrono>
#include <vector>

#include "base/Mutex.h"

// Natively there is no window: the tick source is a table of due times,
// guarded by the timer list's lock, that process reads.
namespace {

using Clock = std::chrono::steady_clock;

struct Tick {
    Clock::time_point due;
    unsigned delayMs;
};

std::map<uint32_t, Tick>& ticks()
{
    static std::map<uint32_t, Tick> table;
    return table;
}

// The native counterpart of the window's existence: without it timers do
// not tick.
bool g_started = false;

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
    ticks().clear();
}

void Timer::armTick(uint32_t id, unsigned delayMs)
{
    AutoMutex guard(timersLock());
    if (g_started)
        ticks()[id] = Tick{Clock::now() + std::chrono::milliseconds(delayMs), delayMs};
}

void Timer::disarmTick(uint32_t id)
{
    AutoMutex guard(timersLock());
    ticks().erase(id);
}

void Timer::process()
{
    std::vector<uint32_t> due;
    {
        AutoMutex guard(timersLock());
        const Clock::time_point now = Clock::now();
        for (auto& [id, tick] : ticks()) {
            if (tick.due <= now) {
                due.push_back(id);
                // Like a window timer, a late one ticks once and then keeps
                // its period from now rather than catching up.
                tick.due = now + std::chrono::milliseconds(tick.delayMs);
            }
        }
    }
    for (uint32_t id : due)
        timerFunc(nullptr, 0x0113 /* WM_TIMER */, id, 0);
}
