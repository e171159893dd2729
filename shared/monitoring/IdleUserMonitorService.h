#pragma once
#include "base/Msg.h"
#include "shared/framework/Service.h"
#include "shared/TCShrdApi.h"

class System;

// Watches the time since the session's last keyboard or mouse input, twice
// a second, and reports the user going idle (EventID 4) and coming back
// (EventID 5) as SYSTEM_EVENT messages on the internal device. Only a change
// is reported; the user counts as active at start.
class TCSHRD_API IdleUserMonitorService : public Service {
public:
    // No input for longer than this makes the user idle...
    static constexpr int IdleAfterMs = 180000;
    // ...and for longer than this while on the phone or at a meeting, where
    // a short pause already means the user has turned away.
    static constexpr int IdleInCallAfterMs = 15000;
    static constexpr unsigned CheckEveryMs = 500;

    // Reads the input times of the system's desktop and the user status;
    // the system is not owned.
    explicit IdleUserMonitorService(System& system);
    ~IdleUserMonitorService() override;

    // Checks every 500 ms; true.
    bool setup() override;
    // Takes no messages.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;
    // One check. When the last input time cannot be had, traces 1060701 and
    // leaves the state as it was.
    void onTimer() override;

    bool isUserActive() const { return m_userActive; }

protected:
    // Reports the change, if it is one: EventID 5 on becoming active,
    // EventID 4 on becoming idle.
    void setUserActiveFlag(bool active);

    System& m_system;
    bool m_userActive = true;
};
