#pragma once
#include <cstdint>
#include <map>

#include "base/NativeHandle.h"
#include "shared/TCShrdApi.h"

class Clock;
class Mutex;

// A timer whose ticks are delivered by the thread that pulses: on Windows as
// timers of one hidden window per process ("TavelinTimerWindow"), dispatched
// by Timer::process; natively by Timer::process itself, which ticks every
// armed timer whose delay has passed. A tick calls timerExpired and, for a
// OneShot timer, disarms it. Several ticks that fall between two calls of
// process arrive as at most one per timer.
//
// Only the thread that called startUp gets ticks; timers may be constructed
// and armed on any thread.
//
// A Clock may drive the ticks instead (driveBy): every timer is then due by
// that clock's tick count, checked in process, on every platform. This is
// how a test lets an hour of timers pass in a few milliseconds.
class TCSHRD_API Timer {
public:
    enum TimerType { OneShot = 0, Repeating = 1 };

    // An id that reset and restart take to mean that there is no timer.
    static constexpr uint32_t NoTimer = 0xFFFFFFFFu;

    // Takes the next id of the process.
    Timer();
    virtual ~Timer(); // reset
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    virtual void timerExpired() = 0;

    // Disarms, stores delay and type, and arms the timer anew, so the
    // countdown starts now.
    void setTimer(unsigned delayMs, TimerType type);
    // Disarms the timer; delay and type are kept.
    void reset();
    // setTimer with the stored delay and type.
    void restart();

    uint32_t getTimerID() const { return m_timerID; }
    unsigned getDelay() const { return m_delay; }
    TimerType getType() const { return m_type; }
    // Whether the timer is armed (listed for ticks).
    bool isArmed() const;

    // Creates the tick source (the hidden window) unless it exists.
    static void startUp();
    // Closes the tick source; armed timers stop ticking.
    static void shutDown();
    // Dispatches every message waiting for the calling thread (and so every
    // tick that is due), then returns.
    static void process();
    // From now on timers tick by the clock's tick count (null: by the
    // system's own tick source again). Timers already armed start their
    // countdown anew on the new source. The clock is not owned and must
    // stay until shutDown or the next driveBy; shutDown returns to the
    // system's source.
    static void driveBy(const Clock* clock);

protected:
    static bool createHiddenWindow();
    // One tick of the timer with the given id; unknown ids are ignored. A
    // Windows timer callback; natively Timer::process calls it.
    static void TC_CALLBACK timerFunc(native::Window hwnd, unsigned int msg, uintptr_t idEvent,
                                      unsigned long time);

    static native::Window s_hwnd;                  // the hidden timer window (Windows)
    static std::map<uint32_t, Timer*> s_lstTimers; // every armed timer by id
    static Mutex* s_mutexTimersList;               // guards the counter and the list
    static uint32_t s_nTimerCounter;               // the next timer id

private:
    // The lock, created on first use and kept for the life of the process,
    // since timers may be destroyed during the process's own clean-up.
    static Mutex& timersLock();
    // The tick source's part of setTimer and reset (the platform's, or the
    // driving clock's table).
    static void armTick(uint32_t id, unsigned delayMs);
    static void disarmTick(uint32_t id);

    // The table of due tick counts that a clock drives, shared by both
    // platforms; guarded by the timer list's lock.
    static void armClockTick(uint32_t id, unsigned delayMs, const Clock& clock);
    static void disarmClockTick(uint32_t id);
    static void clearClockTicks();
    // Ticks every timer of the table that is due by the clock.
    static void processClockTicks(const Clock& clock);

    // The clock that drives the ticks; null for the system's own source.
    static const Clock* s_tickClock;

    uint32_t m_timerID = NoTimer;
    unsigned m_delay = 0;
    TimerType m_type = OneShot;
};
