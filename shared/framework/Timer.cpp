#include "shared/framework/Timer.h"

#include <mutex>
#include <vector>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Mutex.h"
#include "shared/framework/Clock.h"

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
constexpr uint32_t Timer::NoTimer;

native::Window Timer::s_hwnd = nullptr;
std::map<uint32_t, Timer*> Timer::s_lstTimers;
Mutex* Timer::s_mutexTimersList = nullptr;
uint32_t Timer::s_nTimerCounter = 0;
const Clock* Timer::s_tickClock = nullptr;

namespace {
std::once_flag g_lockCreated;

struct ClockTick {
    uint64_t due; // on the running count below
    unsigned delayMs;
};

std::map<uint32_t, ClockTick>& clockTicks()
{
    static std::map<uint32_t, ClockTick> table;
    return table;
}

// The tick count wraps after 49.7 days. The table counts on a 64-bit
// running count instead, moved on by the difference between two readings,
// so that due times compare plainly, across the wrap and across a long
// stretch without a pulse alike.
struct RunningCount {
    const Clock* clock = nullptr;
    uint32_t lastReading = 0;
    uint64_t elapsed = 0;

    uint64_t read(const Clock& source)
    {
        const uint32_t reading = source.tickCount();
        if (clock != &source) {
            clock = &source;
            lastReading = reading;
        }
        elapsed += static_cast<uint32_t>(reading - lastReading);
        lastReading = reading;
        return elapsed;
    }
};

RunningCount g_count;
} // namespace

Mutex& Timer::timersLock()
{
    std::call_once(g_lockCreated, [] {
        auto lock = new Mutex;
        lock->initialise();
        s_mutexTimersList = lock;
    });
    return *s_mutexTimersList;
}

Timer::Timer()
{
    AutoMutex guard(timersLock());
    m_timerID = s_nTimerCounter++;
}

Timer::~Timer()
{
    try {
        reset();
    } catch (const Exception& e) {
        // Only the list lock can fail here. A destructor must not throw, so
        // the failure is recorded under the lock's own id.
        Event event(static_cast<uint32_t>(e.getExceptionID()), &e, TC_AT(L"Timer::~Timer"));
        Logger::Trace(event);
    }
}

void Timer::setTimer(unsigned delayMs, TimerType type)
{
    reset();
    m_delay = delayMs;
    m_type = type;
    armTick(m_timerID, delayMs);
    AutoMutex guard(timersLock());
    s_lstTimers[m_timerID] = this;
}

void Timer::reset()
{
    if (m_timerID == NoTimer)
        return;
    disarmTick(m_timerID);
    AutoMutex guard(timersLock());
    s_lstTimers.erase(m_timerID);
}

void Timer::restart()
{
    if (m_timerID != NoTimer)
        setTimer(m_delay, m_type);
}

bool Timer::isArmed() const
{
    AutoMutex guard(timersLock());
    auto it = s_lstTimers.find(m_timerID);
    return it != s_lstTimers.end() && it->second == this;
}

void TC_CALLBACK Timer::timerFunc(native::Window, unsigned int, uintptr_t idEvent, unsigned long)
{
    // Called from message dispatch: nothing may be thrown out of here.
    try {
        // The lock is held across the tick so that a timer cannot be
        // destroyed on another thread in the middle of it; it is re-entrant,
        // so a tick may re-arm or reset its own timer.
        AutoMutex guard(timersLock());
        auto it = s_lstTimers.find(static_cast<uint32_t>(idEvent));
        if (it == s_lstTimers.end())
            return;
        Timer* timer = it->second;
        timer->timerExpired();
        if (timer->m_type == OneShot)
            timer->reset();
    } catch (const Exception& e) {
        Event event(static_cast<uint32_t>(e.getExceptionID()), &e, TC_AT(L"Timer::timerFunc"));
        Logger::Trace(event);
    }
}

void Timer::armClockTick(uint32_t id, unsigned delayMs, const Clock& clock)
{
    AutoMutex guard(timersLock());
    clockTicks()[id] = ClockTick{g_count.read(clock) + delayMs, delayMs};
}

void Timer::disarmClockTick(uint32_t id)
{
    AutoMutex guard(timersLock());
    clockTicks().erase(id);
}

void Timer::clearClockTicks()
{
    AutoMutex guard(timersLock());
    clockTicks().clear();
    g_count = RunningCount();
}

void Timer::processClockTicks(const Clock& clock)
{
    std::vector<uint32_t> due;
    {
        AutoMutex guard(timersLock());
        const uint64_t now = g_count.read(clock);
        for (auto& [id, tick] : clockTicks()) {
            if (now < tick.due)
                continue;
            due.push_back(id);
            // A timer asked often enough keeps its period; a late one ticks
            // once, as a window timer does, and counts its period from now
            // rather than catching up.
            tick.due += tick.delayMs;
            if (now >= tick.due)
                tick.due = now + tick.delayMs;
        }
    }
    for (uint32_t id : due)
        timerFunc(nullptr, 0x0113 /* WM_TIMER */, id, 0);
}

void Timer::driveBy(const Clock* clock)
{
    AutoMutex guard(timersLock());
    std::vector<std::pair<uint32_t, unsigned>> armed;
    for (const auto& [id, timer] : s_lstTimers)
        armed.emplace_back(id, timer->m_delay);
    for (const auto& [id, delay] : armed)
        disarmTick(id);
    s_tickClock = clock;
    for (const auto& [id, delay] : armed)
        armTick(id, delay);
}
