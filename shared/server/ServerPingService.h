#pragma once
#include <functional>

#include "base/Msg.h"
#include "shared/TCShrdApi.h"
#include "shared/framework/Service.h"

class System;

// Sends the user's current status whenever 270 seconds pass without a
// successful submission (or, offline, without a message being queued), so
// that a broken connection is noticed and the server hears from an idle
// client. The timer starts with the first Success the device reports.
class TCSHRD_API ServerPingService : public Service {
public:
    static constexpr unsigned PingIntervalMs = 270000;

    // Builds the status message to send (the caller's), or null when none
    // can be built; the status update service's current-status message.
    using StatusBuilder = std::function<Msg*(System&)>;

    // The system is not owned and must outlive the service.
    ServerPingService(System& system, StatusBuilder currentStatus);
    ~ServerPingService() override;

    bool setup() override;
    // HTTP_COMM_DEVICE.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;
    void onTimer() override;

protected:
    System& m_system;
    StatusBuilder m_currentStatus;
};
