#pragma once
#include <string>

#include "base/Msg.h"
#include "shared/framework/Clock.h"
#include "shared/framework/Service.h"
#include "shared/monitoring/Desktop.h"
#include "shared/monitoring/System.h"
#include "shared/TCShrdApi.h"

// The one place where the client's picture of the user's situation changes.
// It owns the System; it takes the presence monitors' SYSTEM_EVENT messages
// and the context reports (PLUGIN_INFO) of the plug-ins and the foreground
// tracking, applies them, and announces each change as a
// SYSTEM_CHANGE_SERVICE message on the internal device. Ten seconds after
// the last change it announces a delayed change, so that the server side
// can send a state that has settled.
class TCSHRD_API SystemChangeService : public Service {
public:
    // Carried in "SystemChangeEvent"; the trace names are getEventName's.
    enum SystemChangeEvent {
        WindowChange = 0,
        ContextInfoChange = 1,
        UserIdle = 2,
        UserActive = 3,
        UserAtMeeting = 4,
        UserOnPhone = 5,
        UserPrivacy = 6,
        UserStopMeeting = 7,
        UserStopPhone = 8,
        UserStopPrivacy = 9,
        PCLock = 10,
        PCUnlock = 11,
        DelayedSystemChange = 12,
    };

    // The "EventID" values of incoming SYSTEM_EVENT messages.
    enum EventID {
        ProcessChanged = 1,
        WindowChanged = 2,
        WindowChangeAlso = 3, // handled like 1 and 2; nothing here sends 2 or 3
        BecameIdle = 4,
        BecameActive = 5,
        MeetingStarted = 6,
        PhoneCallStarted = 7,
        PrivateTimeStarted = 8,
        MeetingEnded = 9,
        PhoneCallEnded = 10,
        PrivateTimeEnded = 11,
        Locked = 12,
        Unlocked = 13,
    };

    // How long after the last change the delayed change follows.
    static constexpr unsigned DelayedChangeMs = 10000;

    // Builds the System on the desktop and clock (neither owned; both must
    // outlive the service), rescans once more and arms the delayed change.
    explicit SystemChangeService(Desktop& desktop = Desktop::system(),
                                 const Clock& clock = Clock::system());
    ~SystemChangeService() override;

    // True.
    bool setup() override;
    // SYSTEM_EVENT and PLUGIN_INFO.
    bool canProcessMsg(Msg& msg) override;
    // PLUGIN_INFO to processPlugInInfoMsg, everything else to
    // processStateChangeMsg; true. What the System throws passes, with the
    // state updated before it kept.
    bool processMsg(Msg& msg) override;
    // Traces and announces the delayed change.
    void onTimer() override;

    System& getSystemInfo() { return m_system; }

    // "onWindowChange" ... "onDelayedSystemChange"; null for other values.
    static const wchar_t* getEventName(int event);

protected:
    // Applies a presence event to the user status, traces it and announces
    // it (see the table in SystemChangeService.cpp); every message, even an
    // unknown EventID, re-arms the delayed change.
    void processStateChangeMsg(Msg& msg);
    // Applies a context report to its window; a change of what the window
    // holds is traced and announced and re-arms the delayed change.
    void processPlugInInfoMsg(Msg& msg);
    // A new SYSTEM_CHANGE_SERVICE message with the event, on the internal
    // device.
    void sendStateChangeMsg(SystemChangeEvent event);
    // Traces event 1061501 "New Event:" with the name and the state, and
    // while the user is active the active application and window. A null
    // name traces nothing.
    void traceEvent(const wchar_t* name);

    System m_system;

private:
    // What a window holds of its context, to tell a report it took from
    // one that changed nothing it keeps.
    struct Context {
        bool known = false;
        std::wstring string1, string2, string3;
        TopLevelWindow::PluginInfoQuality quality = TopLevelWindow::FourthClass;
        bool operator==(const Context& other) const
        {
            return known == other.known && string1 == other.string1 && string2 == other.string2 &&
                   string3 == other.string3 && quality == other.quality;
        }
    };
    Context contextOf(native::Window window) const;

    void armDelayedChange();
    // Trace, then announce.
    void announce(SystemChangeEvent event);
};
