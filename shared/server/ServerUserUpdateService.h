#pragma once
#include <string>

#include "base/Msg.h"
#include "shared/TCShrdApi.h"
#include "shared/framework/Service.h"

class System;
class UserDetails;
class TavelinSessionDetails;

// Sends the user's directory details to the server once per process: on
// the first 5-second tick that finds the details ready and the session
// logged on under the user's own account (never the enrollment account).
// Until then it keeps ticking; afterwards its timer stops. It handles no
// messages.
class TCSHRD_API ServerUserUpdateService : public Service {
public:
    // The most groups one update carries; the rest are left out.
    static const int MaxGroups = 20;

    // The system is not owned and must outlive the service.
    explicit ServerUserUpdateService(System& system);
    ~ServerUserUpdateService() override;

    // Starts the 5,000 ms repeating timer; true.
    bool setup() override;
    bool canProcessMsg(Msg& msg) override; // false
    bool processMsg(Msg& msg) override;    // false
    // Traces the details once (1063402) as soon as they are ready, and sends
    // the USER_INFO_UPDATE when the session allows it (1063401).
    void onTimer() override;

    // A new USER_INFO_UPDATE for these details and this session; the caller
    // owns it.
    static Msg* buildUserInfoUpdate(const UserDetails& details,
                                    const TavelinSessionDetails& session);

    // Whether this process has sent its update.
    static bool hasUpdateBeenSent() { return s_updateSent; }

protected:
    // Whether the directory lookup has finished; the details are read only
    // then.
    virtual bool userDetailsReady() const;
    // Event 1063402 "User's Windows Details", one detail per field.
    static void traceDetails(const UserDetails& details);

    System& m_system;
    // Both once per process: a second service object (a restarted client
    // framework) neither traces nor sends again.
    static bool s_detailsTraced;
    static bool s_updateSent;
};
