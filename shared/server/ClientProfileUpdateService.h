#pragma once
#include "base/Msg.h"
#include "shared/TCShrdApi.h"
#include "shared/framework/Service.h"

class System;

// Fetches the client profile after every logon and tells the rest of the
// client when it has changed: each CONNECTION_STATUS_CHANGE that announces
// Connected ("ConnectionStatus" = 4; without the attribute, the session's
// status counts) while the session is still Connected sends a
// CLIENT_PROFILE_REQUEST with the session's "UserID" to the server; the
// CLIENT_PROFILE_RESPONSE replaces the session's profile (which stores it
// for the next start) and is announced as an internal CLIENT_PROFILE_CHANGE
// with "ClientProfileUpdateEvent" = 1.
class TCSHRD_API ClientProfileUpdateService : public Service {
public:
    // The system is not owned and must outlive the service.
    explicit ClientProfileUpdateService(System& system);
    ~ClientProfileUpdateService() override;

    bool setup() override; // true; no timer
    // CONNECTION_STATUS_CHANGE and CLIENT_PROFILE_RESPONSE.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;

protected:
    System& m_system;
};
