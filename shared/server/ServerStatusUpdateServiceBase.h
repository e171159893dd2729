#pragma once
#include "base/Msg.h"
#include "shared/framework/Service.h"
#include "shared/TCShrdApi.h"

class System;

// Knows how to describe what the user is doing now as the one message the
// server records: a declared state, a locked or idle workstation, or the
// foreground application with its window's context. The status updates and
// the server's keep-alive derive from it.
class TCSHRD_API ServerStatusUpdateServiceBase : public Service {
public:
    // Pseudo-application ids of the declared states.
    static constexpr int MeetingApplicationID = 2;
    static constexpr int PhoneApplicationID = 3;
    static constexpr int PrivateApplicationID = 4;

    // The system is not owned and must outlive the service.
    explicit ServerStatusUpdateServiceBase(System& system);
    ~ServerStatusUpdateServiceBase() override;

protected:
    // A new message describing the current state, which the caller owns;
    // null when there is nothing to report (the user is active and no
    // application or window is known). Every message starts with "UserID",
    // "TavelUsername", "EmailAddress" and either "MachineID" or, while the
    // server has not given the machine an id, "MachineName" and
    // "MachineDomain". The first case that holds decides the rest:
    //   1. personal time, user at the keyboard: APPLICATION_CHANGE, id 4;
    //   2. at a meeting, user away (locked or idle): id 2 with the reason;
    //   3. on the phone, user away or the profile letting the call override
    //      activity: id 3 with the reason;
    //   4. locked: SYSTEM_STATE_CHANGE "SystemStateLocked";
    //   5. idle: SYSTEM_STATE_CHANGE "SystemStateIdle";
    //   6. the active application and window: APPLICATION_CHANGE with the
    //      window's context and the application's hash; with a known
    //      application id the short form (id, original file name, company),
    //      else the long form (the version fields, path and icon).
    // What the System's getters throw passes; nothing is leaked then.
    Msg* createCurrentStatusMsg();

    System& m_system;
};
