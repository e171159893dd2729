#pragma once
#include "base/Msg.h"
#include "shared/framework/Service.h"
#include "shared/monitoring/Desktop.h"
#include "shared/TCShrdApi.h"

// Watches, once a second, for a locked workstation or a running screen
// saver, and reports the lock (EventID 12) on the second locked sample in a
// row of samples, and the unlock (EventID 13) on the first unlocked sample
// after a reported lock, as SYSTEM_EVENT messages on the internal device.
//
// Its two flags are process-wide: one monitor runs per client process.
class TCSHRD_API PCLockedMonitorService : public Service {
public:
    static constexpr unsigned CheckEveryMs = 1000;
    // Bytes of the buffer the input desktop's name is read into.
    static constexpr size_t DesktopNameBufferBytes = 256;

    // The desktop is not owned and must outlive the service.
    explicit PCLockedMonitorService(Desktop& desktop = Desktop::system());
    ~PCLockedMonitorService() override;

    // Checks every second; true.
    bool setup() override;
    // Takes no messages.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;
    // One sample; see the class comment.
    void onTimer() override;

    // A running screen saver, or an input desktop that cannot be had.
    bool isPCLocked();
    // Whether the system says a screen saver is running.
    bool isScreenSaverActiveNT5();
    // False when the input desktop cannot be opened, or its name cannot be
    // read for want of access (the secure desktop of a locked workstation).
    bool canAccessDesktop();
    // The older test: the desktop "screen-saver" exists (it opens, or
    // opening it is refused). Not part of isPCLocked.
    bool isScreenSaverActiveNT4();

protected:
    // Forgets every sample, as at the start of the process.
    static void forgetSamples();

    static bool s_lockSeen;
    static bool s_lockReported;

private:
    void send(int eventId);

    Desktop& m_desktop;
};
