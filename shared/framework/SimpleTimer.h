#pragma once
#include "shared/TCShrdApi.h"
#include "shared/framework/Timer.h"

// A timer whose tick only raises a flag; the owner looks at the flag later.
class TCSHRD_API SimpleTimer : public Timer {
public:
    SimpleTimer();
    ~SimpleTimer() override;

    void timerExpired() override { m_elapsed = true; }
    bool isElapsed() const { return m_elapsed; }
    void clearElapsed() { m_elapsed = false; }

private:
    bool m_elapsed = false;
};
