#pragma once
#include "base/AntiMsgRepeater.h"
#include "base/Msg.h"
#include "shared/server/ServerStatusUpdateServiceBase.h"
#include "shared/TCShrdApi.h"

class System;

// Turns the changes the system change service announces into status
// messages for the server: on each relevant change it builds the current
// status, drops it when it repeats the last one recorded or is known noise,
// and hands the rest to the Http mechanism. Window and context changes reach
// the server only through the delayed change, once they have settled.
//
// The handlers are virtual so that a derived service can react otherwise to
// one kind of change.
class TCSHRD_API ServerStatusUpdateService : public ServerStatusUpdateServiceBase {
public:
    // The system is not owned and must outlive the service.
    explicit ServerStatusUpdateService(System& system);
    ~ServerStatusUpdateService() override;

    // True; the service sets no timer.
    bool setup() override;
    // SYSTEM_CHANGE_SERVICE messages only.
    bool canProcessMsg(Msg& msg) override;
    // Runs the handler of the message's "SystemChangeEvent" (0 when
    // absent); other types and unknown events do nothing. True.
    bool processMsg(Msg& msg) override;

protected:
    // Events 0 and 1: nothing.
    virtual void onWindowChange();
    // The others: the current status.
    virtual void onDelayedSystemChange();
    virtual void onContextInfoChange();
    virtual void onUserIdle();
    virtual void onUserActive();
    virtual void onUserAtMeeting();
    virtual void onUserOnPhone();
    virtual void onUserPrivacy();
    virtual void onUserStopMeeting();
    virtual void onUserStopPhone();
    virtual void onUserStopPrivacy();
    virtual void onPCLock();
    virtual void onPCUnlock();

    // createCurrentStatusMsg, and the result, if any, to
    // sendMessageIfNecessary.
    void sendCurrentStatusToServer();
    // Takes ownership. A message equivalent to the last one recorded is
    // dropped; any other is recorded as the last one, then dropped if it is
    // noise (isMsgNecessary), else traced (1060903) and sent on the Http
    // mechanism. What sending throws passes (the message is gone then).
    void sendMessageIfNecessary(Msg* msg);
    // False for the idle reports of a terminal-server shell (company
    // "citrix", file "wfshell.exe", in any case), traced as 1060902; true
    // for everything else.
    bool isMsgNecessary(Msg* msg);

    AntiMsgRepeater m_repeater;
};
