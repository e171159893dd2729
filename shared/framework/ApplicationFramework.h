#pragma once
#include <memory>
#include <string>
#include <vector>

#include "base/CommunicationDevice.h"
#include "base/Msg.h"
#include "shared/TCShrdApi.h"
#include "shared/framework/Clock.h"
#include "shared/framework/Service.h"

// One entry per service set up by ApplicationFramework::setup ("4000, ",
// "4001, ", ...), so that a start-up that hangs or fails shows how far it
// came. Process-wide, empty at load.
extern TCSHRD_API std::wstring STARTUP_TRACE;

// The main loop of a monitoring program: an ordered list of services and an
// ordered list of communication devices (at most one per mechanism), both
// owned. A derived framework adds them in its constructor; the host calls
// setup once and then pulse over and over, all on the thread that built the
// framework (the timer window belongs to it). Devices run their own threads
// and are reached only through their locked queues.
class TCSHRD_API ApplicationFramework {
public:
    // Starts the timer machinery for the constructing thread.
    ApplicationFramework();
    // The same, with the service timers driven by the clock (Timer::driveBy)
    // until the framework is destroyed; the clock must outlive it. With a
    // clock that tests move by hand, pulse fires timers as the clock says.
    explicit ApplicationFramework(const Clock& clock);
    // Deletes the services (first added first), asks every device to stop,
    // then stops (500 ms grace) and deletes them one by one, and closes the
    // timer window.
    virtual ~ApplicationFramework();
    ApplicationFramework(const ApplicationFramework&) = delete;
    ApplicationFramework& operator=(const ApplicationFramework&) = delete;

    // Sets up the services in order, recording each in STARTUP_TRACE; false
    // as soon as one fails (the later ones are not set up).
    bool setup();
    // One step of the main loop: lets due timers tick, calls onTimer of each
    // service whose timer elapsed, then takes at most one message, from the
    // first device in list order that has one, and offers it to every
    // service in list order; each that accepts it processes it. True when
    // anything happened. A message nobody accepts throws FrameworkException
    // 1060001; an exception from a service leaves the pulse at once. A
    // message taken is destroyed in every case.
    bool pulse();
    // Hands the message to the device of that mechanism, which owns it from
    // then on. When it cannot be handed over the message is destroyed:
    // Exception 1060006 (null), FrameworkException 1060007 (no such device),
    // 1060008 (the device does not send).
    void sendMessage(Msg* msg, CommunicationDevice::CommMechanism mechanism);

protected:
    // Takes ownership. Null throws Exception 1060003.
    void addService(Service* service);
    // Takes ownership and starts the device's thread. Null throws Exception
    // 1060004; a second device of one mechanism is destroyed unstarted and
    // FrameworkException 1060005 thrown.
    void addCommunicationDevice(CommunicationDevice* device);
    // The first device of that mechanism, null when there is none.
    CommunicationDevice* getCommunicationDevice(CommunicationDevice::CommMechanism mechanism) const;
    // Does nothing; kept for derived frameworks that call it.
    void traceMsg(Msg* msg);

private:
    std::vector<std::unique_ptr<Service>> m_services;
    std::vector<std::unique_ptr<CommunicationDevice>> m_devices;
};
