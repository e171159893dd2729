#pragma once
#include <cstdint>
#include "shared/TCShrdApi.h"

// Where the monitoring code and the framework's timers take the time from.
// Everything that counts or compares times (the report counters of the
// windows, the idle threshold, the end of a declared meeting, the service
// timers of a framework built on it) asks a Clock, so that tests can move
// time on by hand instead of waiting for it.
class TCSHRD_API Clock {
public:
    virtual ~Clock();
    // Seconds since 1970-01-01 UTC.
    virtual int64_t now() const = 0;
    // Milliseconds since the system started, as the 32-bit count that wraps
    // to 0 after 49.7 days; the scale the session's last-input time is
    // given in. Compare two counts by their difference, never by order.
    virtual uint32_t tickCount() const = 0;
    // The system's clock, shared by the whole process.
    static const Clock& system();
};

// The time of day and the tick count as the system tells them.
class TCSHRD_API SystemClock : public Clock {
public:
    int64_t now() const override;
    uint32_t tickCount() const override;

private:
    // Operating-system half, in win32/Clock.cpp and posix/Clock.cpp.
    static uint32_t systemTickCount();
};

// A clock that stands still until it is set or moved on. The time of day and
// the tick count move on together; setting either one alone is a jump of
// that one only, as when the user changes the time of day.
class TCSHRD_API ManualClock : public Clock {
public:
    explicit ManualClock(int64_t start = 1700000000, uint32_t tickCount = 5000000)
        : m_now(start), m_tickCount(tickCount)
    {}
    int64_t now() const override { return m_now; }
    uint32_t tickCount() const override { return m_tickCount; }
    // The time of day, at the start of that second.
    void set(int64_t seconds)
    {
        m_now = seconds;
        m_millis = 0;
    }
    void setTickCount(uint32_t ticks) { m_tickCount = ticks; }
    void advance(int64_t seconds) { advanceMs(seconds * 1000); }
    // Moves both on; the time of day keeps the milliseconds that do not yet
    // make a whole second. Negative steps are refused (a clock that is
    // driven by hand still only goes forward).
    void advanceMs(int64_t milliseconds);

private:
    int64_t m_now;
    int64_t m_millis = 0; // milliseconds into the current second
    uint32_t m_tickCount;
};
