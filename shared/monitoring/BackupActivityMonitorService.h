#pragma once
#include <cstdint>

#include "base/Msg.h"
#include "shared/framework/Service.h"
#include "shared/TCShrdApi.h"

class System;

// Notices a switch to another application even when nothing else reported
// it: five times a second it compares the foreground window's process with
// the one of the last announced change, and reports a difference as
// EventID 1 (the foreground process changed) on the internal device. Quiet
// while the user is idle or the workstation locked.
class TCSHRD_API BackupActivityMonitorService : public Service {
public:
    static constexpr unsigned CheckEveryMs = 200;

    // The system is not owned.
    explicit BackupActivityMonitorService(System& system);
    ~BackupActivityMonitorService() override;

    // Checks every 200 ms; true.
    bool setup() override;
    // SYSTEM_CHANGE_SERVICE messages, whatever their event.
    bool canProcessMsg(Msg& msg) override;
    // Remembers the process of the active window, if there is one; true.
    bool processMsg(Msg& msg) override;
    // One comparison. The remembered process stays; it follows when the
    // window change comes back announced.
    void onTimer() override;

    uint32_t getLastProcessID() const { return m_lastProcessId; }

protected:
    System& m_system;
    uint32_t m_lastProcessId = 0;
};
