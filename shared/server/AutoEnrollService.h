#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "base/Msg.h"
#include "shared/TCShrdApi.h"
#include "shared/framework/Clock.h"
#include "shared/framework/Service.h"

class ServerLogonService;
class System;

// Provisions a server account for a user who has none. A deployment that
// sets "OrganisationID" and "OrganisationToken" under the machine's
// "Software\Ondrivex" lets the client log on under the organisation's
// enrollment account ("autoenroll@" + id + ".org"), send the user's Windows
// identity (AUTO_ENROLL_REQUEST) and receive the user's own credentials, a
// word that the enrollment awaits approval, or a refusal.
//
// The service acts when the client starts without usable credentials, and
// once per process when a logon is refused with AuthenticationFailed. It
// drives itself with its timer; every state change sets the session's
// automatic-enrollment mode (on while LoggingOn and AwaitingResponse). Every
// failure ends in Disabled with a trace event (10637xx); the user then signs
// in by hand.
class TCSHRD_API AutoEnrollService : public Service {
public:
    enum AutoEnrollState {
        Waiting = 0,          // 5 s ticks: is enrollment necessary and possible?
        Disabled = 1,         // timer stopped
        LoggingOn = 2,        // enrollment logon running; 15 s to reach Connected
        AwaitingResponse = 3, // request sent; 15 s for the answer
        Pending = 4,          // approval awaited; asks again every 5 minutes
    };

    // What the service needs of the logon service.
    class TCSHRD_API Logon {
    public:
        virtual ~Logon();
        // Starts a logon; the outcome comes as CONNECTION_STATUS_CHANGE.
        virtual void logOn(const wchar_t* userName, const wchar_t* password) = 0;
        // Ends the session: status NotConnected.
        virtual void logOff() = 0;
    };

    // Delays of the timer, in milliseconds, and the time-out in seconds.
    static const unsigned TickMs = 5000;
    static const unsigned PendingMs = 300000;
    static const unsigned RetryMs = 3;
    static const int TimeOutSeconds = 15;

    // State Waiting. System and logon service are not owned and must outlive
    // the service; time comes from the clock. The configuration is read
    // below keyPath of HKEY_LOCAL_MACHINE.
    AutoEnrollService(System& system, Logon& logon, const Clock& clock = Clock::system(),
                      const std::wstring& keyPath = L"Software\\Ondrivex");
    // The same with the client's logon service.
    AutoEnrollService(System& system, ServerLogonService& logon,
                      const Clock& clock = Clock::system(),
                      const std::wstring& keyPath = L"Software\\Ondrivex");
    ~AutoEnrollService() override;

    // Loads the organisation's credentials: with them state Waiting and its
    // 5 s ticks; without, trace 1063711 "AutoEnrollment disabled" and state
    // Disabled. Always true.
    bool setup() override;
    // AUTO_ENROLL_RESPONSE and CONNECTION_STATUS_CHANGE, except while
    // Disabled: then nothing when the service is not configured or its one
    // attempt after a refused logon is spent, otherwise only the status
    // changes, for that one attempt.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;
    // Waiting: is enrollment necessary, then log on; LoggingOn and
    // AwaitingResponse: the time-out; Pending: ask again.
    void onTimer() override;

    // Starts the cycle over at once: closes the enrollment session, state
    // Waiting, the timer at 3 ms so the next pulse checks again.
    void attemptAutoEnroll();

    AutoEnrollState getState() const { return m_state; }
    int getOrganisationID() const { return m_organisationId; }
    const std::wstring& getEnrollmentUserName() const { return m_userName; }

    // True when the name contains both "autoenroll@" and ".org": such
    // credentials belong to an organisation, never to the user, and are not
    // saved as the user's sign-in.
    static bool isAutoEnrollUserName(const std::wstring& name);
    // "autoenroll@" + id in decimal + ".org".
    static std::wstring enrollmentUserName(int organisationId);
    // The "OrganisationToken" text for an organisation's enrollment password:
    // Base64 of SecurityDevice::encryptString(password, enrollmentUserName).
    static std::wstring makeOrganisationToken(int organisationId, const std::wstring& password);
    // "Waiting" ... "Pending"; other values read as "Disabled", as they act.
    static std::wstring getStateDescription(int state);

protected:
    // Reads id and token; true when the id is positive and the token gives a
    // password. Keeps id, user name and password then.
    bool loadCredentials();
    void setState(AutoEnrollState state);
    // The Waiting tick.
    void initialise();
    void checkTimeOut();
    void sendRequest();
    // Empties the session's password and logs off.
    void closeEnrollmentSession();
    void processConnectionStatusChange(Msg& msg);
    void processAutoEnrollResponse(Msg& msg);
    // Where a failed step leaves the service: Disabled, or Pending again
    // while an approval is awaited.
    AutoEnrollState stateAfterFailure() const;
    // Whether the directory lookup has finished.
    virtual bool userDetailsReady() const;
    // A new AUTO_ENROLL_REQUEST; the caller owns it.
    Msg* buildRequest() const;

    System& m_system;
    // The logon service's stand-in when the service was given the logon
    // service itself.
    std::unique_ptr<Logon> m_ownLogon;
    Logon& m_logon;
    const Clock& m_clock;
    std::wstring m_keyPath;
    int64_t m_stateStart = 0;
    int m_organisationId = 0;
    std::wstring m_userName;
    std::wstring m_password;
    AutoEnrollState m_state = Waiting;
    bool m_configured = false;
    // Set by the pending answer until a final one: a failed re-send then
    // waits for the next 5 minutes instead of giving up.
    bool m_awaitingApproval = false;
    // The one attempt after a refused logon, for the whole process.
    static bool s_authFailureAttemptMade;
};
