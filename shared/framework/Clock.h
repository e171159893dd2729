#pragma once
#include <cstdint>
#include "shared/TCShrdApi.h"

// Where the monitoring code takes the time of day from. Everything that
// counts or compares times (the report counters of the windows, first of
// all) asks a Clock, so that tests can move time on by hand instead of
// waiting for it.
class TCSHRD_API Clock {
public:
    virtual ~Clock();
    // Seconds since 1970-01-01 UTC.
    virtual int64_t now() const = 0;
    // The system's clock, shared by the whole process.
    static const Clock& system();
};

// The time of day as the system tells it.
class TCSHRD_API SystemClock : public Clock {
public:
    int64_t now() const override;
};

// A clock that stands still until it is set or moved on.
class TCSHRD_API ManualClock : public Clock {
public:
    explicit ManualClock(int64_t start = 1700000000) : m_now(start) {}
    int64_t now() const override { return m_now; }
    void set(int64_t seconds) { m_now = seconds; }
    void advance(int64_t seconds) { m_now += seconds; }

private:
    int64_t m_now;
};
