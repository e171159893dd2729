#pragma once
#include <functional>

#include "base/Msg.h"
#include "shared/TCShrdApi.h"
#include "shared/server/ServerStatusUpdateServiceBase.h"

class System;

// Sends the user's current status whenever 270 seconds pass without a
// successful submission (or, offline, without a message being queued), so
// that a broken connection is noticed and the server hears from an idle
// client. The timer starts with the first Success the device reports. What
// it sends is the status updates' current status, without their repeat
// filter: the point is to be heard.
class TCSHRD_API ServerPingService : public ServerStatusUpdateServiceBase {
public:
    static constexpr unsigned PingIntervalMs = 270000;

    // Builds the status message to send (the caller's), or null when none
    // can be built.
    using StatusBuilder = std::function<Msg*(System&)>;

    // Sends createCurrentStatusMsg. The system is not owned and must outlive
    // the service.
    explicit ServerPingService(System& system);
    // Sends what currentStatus builds instead (a test's own message).
    ServerPingService(System& system, StatusBuilder currentStatus);
    ~ServerPingService() override;

    bool setup() override;
    // HTTP_COMM_DEVICE.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;
    void onTimer() override;

protected:
    StatusBuilder m_currentStatus;
};
