#pragma once
#include "base/CommunicationDevice.h"
#include "base/Msg.h"
#include "shared/TCShrdApi.h"
#include "shared/framework/SimpleTimer.h"

class ApplicationFramework;

// The base of every service. Services run on the thread that pulses the
// framework; they learn of events through processMsg and onTimer and tell
// others by sending messages, never by calling each other.
class TCSHRD_API Service {
public:
    Service();
    // Kills the service's timer.
    virtual ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // Called once by ApplicationFramework::setup; false stops the start-up.
    virtual bool setup() = 0;
    virtual bool canProcessMsg(Msg& msg) = 0;
    // The framework ignores the result.
    virtual bool processMsg(Msg& msg) = 0;
    // Called inside pulse after the service's timer elapsed. Does nothing here.
    virtual void onTimer();

    // The owning framework (not owned).
    void setApplicationFramework(ApplicationFramework* framework) { m_pFramework = framework; }

    bool hasTimerDelayElapsed() const { return m_timer.isElapsed(); }
    // Clears the elapsed flag only; the timer keeps running.
    void resetTimer() { m_timer.clearElapsed(); }
    // Returns the timer to idle and clears the flag.
    void killTimer();

protected:
    // Hands the message to the framework for the device of that mechanism.
    // The message is given up in every case: when it cannot be sent it is
    // destroyed. Throws FrameworkException 1061101 without a framework, and
    // what ApplicationFramework::sendMessage throws.
    void sendMessage(Msg* msg, CommunicationDevice::CommMechanism mechanism);
    // Arms (or re-arms, restarting the countdown) the service's timer.
    void setTimer(unsigned delayMs, Timer::TimerType type) { m_timer.setTimer(delayMs, type); }

    ApplicationFramework* m_pFramework = nullptr;
    SimpleTimer m_timer;
};
