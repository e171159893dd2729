#pragma once
#include "base/Msg.h"
#include "shared/framework/Service.h"
#include "shared/TCShrdApi.h"

class System;

// Carries the states the user declares in the status window (at a meeting,
// on the phone, personal time) to the system change service as SYSTEM_EVENT
// messages, and ends a timed state when its time is up. A phone call has no
// duration and never ends by itself. Called on the framework thread.
class TCSHRD_API UserStateChangeService : public Service {
public:
    // How often a running timed state is checked.
    static constexpr unsigned CheckEveryMs = 10000;

    // The system is not owned.
    explicit UserStateChangeService(System& system);
    ~UserStateChangeService() override;

    // True; the timer runs only while a timed state does.
    bool setup() override;
    // Takes no messages.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;
    // Ends the meeting, or else the personal time, once the clock reaches
    // the status's start plus duration.
    void onTimer() override;

    // EventID 7, with "ContextString1" = reason unless reason is null.
    void onPhoneCall(const wchar_t* reason);
    // EventID 10.
    void stopPhoneCall();
    // EventID 6 with "ContextString1" = reason (null is sent as empty) and
    // "Duration"; then checks every 10 s.
    void atMeeting(const wchar_t* reason, int durationSeconds);
    // EventID 9; the timer stops.
    void stopMeeting();
    // EventID 8 with "Duration"; then checks every 10 s.
    void enablePrivacy(int durationSeconds);
    // EventID 11; the timer stops.
    void stopPrivacy();

protected:
    System& m_system;

private:
    // A SYSTEM_EVENT with the id, for the caller to complete and send.
    static Msg* event(int eventId);
    void send(Msg* msg);
};
