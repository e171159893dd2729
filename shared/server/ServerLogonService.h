#pragma once
#include <string>

#include "base/ByteArray.h"
#include "base/Msg.h"
#include "base/Mutex.h"
#include "shared/TCShrdApi.h"
#include "shared/framework/Service.h"
#include "shared/server/HttpCommDevice.h"
#include "shared/server/TavelinSessionDetails.h"

class System;

// Runs the challenge/response logon over the HTTP device and owns the
// connection status and error that the rest of the client shows. Every
// change of status is broadcast as a CONNECTION_STATUS_CHANGE message on the
// internal mechanism. Each of the two stages of a logon (waiting for the
// challenge, waiting for the authentication) has 15 seconds.
class TCSHRD_API ServerLogonService : public Service {
public:
    using ConnectionStatus = TavelinSessionDetails::ConnectionStatus;
    using ConnectionError = TavelinSessionDetails::ConnectionError;

    static const wchar_t* const ServersKey; // "Software\\Ondrivex\\Servers" (machine)
    static const wchar_t* const DefaultHelloHosts[5];
    static constexpr int DefaultHelloPort = 80;
    static constexpr unsigned StageTimeoutMs = 15000;

    // Loads the hello-server list from the machine key serversKey. The
    // system and the device are not owned and must outlive the service.
    ServerLogonService(System& system, HttpCommDevice& device,
                       const std::wstring& serversKey = ServersKey);
    ~ServerLogonService() override;

    bool setup() override;
    // CHALLENGE_RESPONSE, AUTHENTICATION_RESPONSE, ERROR_MSG, HTTP_COMM_DEVICE.
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;
    // A stage that is still waiting has timed out: ConnectTimedOut.
    void onTimer() override;

    // Starts a logon; nothing happens unless both are given.
    void logOn(const wchar_t* userName, const wchar_t* password);
    // NotConnected, credentials of the logon forgotten.
    void logOff();

    std::wstring getCurrentClientVersion() const;
    std::wstring getCurrentClientVersionURL() const;
    std::wstring getMOTD() const;
    std::wstring getReportsURL() const;

    // Reads "server.N.host" and "server.N.port" (N = 0 to 4) under the
    // machine key. At the first entry that is missing (empty host or port
    // 0) the five defaults are written into the key and appended to what
    // was read, and reading stops.
    static HttpCommDevice::ServerList loadHelloServers(const std::wstring& serversKey = ServersKey);
    const HttpCommDevice::ServerList& getHelloServers() const { return m_helloServers; }

protected:
    void processChallengeResponseMsg(Msg& msg);
    void processAuthenticationResponseMsg(Msg& msg);
    void processErrorMsg(Msg& msg);
    void processHttpCommDeviceMsg(Msg& msg);
    void setConnectionError(ConnectionError error);
    void setConnectionStatus(ConnectionStatus status);

    System& m_system;
    HttpCommDevice& m_device;
    std::wstring m_serversKey;
    std::wstring m_userName;
    std::wstring m_password;
    ByteArray m_passwordHash;
    ByteArray m_sessionKey;
    std::wstring m_clientVersion;
    std::wstring m_clientVersionURL;
    std::wstring m_motd;
    std::wstring m_reportsURL;
    mutable Mutex m_mutex;
    HttpCommDevice::ServerList m_helloServers;
};
