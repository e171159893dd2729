#pragma once
#include <atomic>
#include <cstdint>

#include "shared/framework/Clock.h"

// A clock that reads another one and can be moved on by hand: the time of
// day and the tick count both run ahead of the base clock by what has been
// added. The client runs on one only when the window tests ask for it (see
// ClockControlWindow), so that a declared meeting can run out without the
// test waiting for it; every other program reads the system clock.
//
// The services' device threads read the clock while the window's thread
// moves it: the offset is atomic.
class AdjustableClock : public Clock {
public:
    explicit AdjustableClock(const Clock& base) : m_base(base) {}

    int64_t now() const override;
    uint32_t tickCount() const override;

    // Moves the clock on by that many seconds (at most a day at once, so
    // the tick count, which wraps after 49.7 days, stays comparable);
    // anything else is refused. False when refused.
    bool advance(int64_t seconds);
    // What has been added so far, in seconds.
    int64_t offsetSeconds() const { return m_offsetMs.load() / 1000; }

    static constexpr int64_t LongestStep = 24 * 3600;

private:
    const Clock& m_base;
    std::atomic<int64_t> m_offsetMs{0};
};
