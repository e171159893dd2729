#pragma once
#include <cstdint>
#include <string>

#include "base/Msg.h"
#include "base/Registry.h"
#include "shared/TCShrdApi.h"
#include "shared/framework/Clock.h"
#include "shared/framework/Service.h"
#include "shared/server/ServerLogonService.h"

class System;

// Keeps the client logged on: logs on at start with the sign-in saved in the
// registry, saves the sign-in after a successful logon, and after every
// failure schedules a new logon with a delay that grows with the number of
// failures of the same kind. The counts fall back only once a day.
class TCSHRD_API ServerConnectionManagerService : public Service {
public:
    enum ConnectionProblem {
        NetworkProblem = 0,
        LogOnProblem = 1,
        AuthenticationProblem = 2,
        SecureSessionProblem = 3,
        AccountSuspendedProblem = 4,
        ClientTooOldProblem = 5,
    };
    static constexpr int ProblemCount = 6;
    static constexpr int DelaySteps = 10;
    // Seconds before the next logon, by problem and by earlier failures of
    // that problem (the last column for 9 and more).
    static const int s_delays[ProblemCount][DelaySteps];
    static constexpr int64_t CounterResetSeconds = 86400;
    static constexpr unsigned TickMs = 1000;

    static const wchar_t* const OlderKey; // "Software\\Brelmot\\Tavelin"

    // The saved sign-in lives under HKEY_CURRENT_USER key, that of earlier
    // versions under olderKey. The system, logon service and clock are not
    // owned and must outlive the service.
    ServerConnectionManagerService(System& system, ServerLogonService& logon,
                                   const Clock& clock = Clock::system(),
                                   const std::wstring& key = Registry::SoftwareKey,
                                   const std::wstring& olderKey = OlderKey);
    ~ServerConnectionManagerService() override;

    // Logs on with the saved sign-in; without one, shows LogOnProcessFailed
    // and waits for the user. Always true.
    bool setup() override;
    // CONNECTION_STATUS_CHANGE.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;
    // Once a second while a logon is scheduled.
    void onTimer() override;

    void logOn(const wchar_t* userName, const wchar_t* password);
    // "Reconnecting in 5 seconds" and the like; empty when nothing is
    // scheduled.
    std::wstring getNextReconnectionTime() const;

    // The problem an error stands for; false for errors that schedule nothing.
    static bool problemOf(TavelinSessionDetails::ConnectionError error, ConnectionProblem& out);

    int64_t getNextLogonTime() const { return m_nextLogon; }
    unsigned getFailureCount(ConnectionProblem problem) const { return m_counters[problem]; }

protected:
    // Reads the saved sign-in into the session details; true when both the
    // name and the password are there.
    bool readSavedDetails();
    void saveDetails();
    void handleDisconnection(TavelinSessionDetails::ConnectionError error);
    void schedule(ConnectionProblem problem);

    System& m_system;
    ServerLogonService& m_logon;
    const Clock& m_clock;
    std::wstring m_key;
    std::wstring m_olderKey;
    int64_t m_nextLogon = 0;
    uint32_t m_counters[ProblemCount] = {};
    int64_t m_lastReset = 0;
};
