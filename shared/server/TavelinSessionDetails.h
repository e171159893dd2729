#pragma once
#include <atomic>
#include <string>

#include "base/ByteArray.h"
#include "shared/TCShrdApi.h"
#include "shared/server/ClientProfile.h"

// The state of the logon session with the server. The logon service fills
// and resets it; the status window and the transport read it. The ids may
// be read from any thread; the rest belongs to the framework thread.
class TCSHRD_API TavelinSessionDetails {
public:
    // Scoped: the status ConnectionError and the enumeration ConnectionError
    // share a name. Messages carry both as plain integers.
    enum class ConnectionStatus {
        NotConnected = 0,
        ProxyWizardRunning = 1,
        Connecting = 2,
        Authenticating = 3,
        Connected = 4,
        ConnectionError = 5,
    };

    enum class ConnectionError {
        NotSet = 0,
        ResolveFailed = 1,
        ConnectFailed = 2,
        ConnectTimedOut = 3,
        LogOnProcessFailed = 4,
        AuthenticationFailed = 5,
        SecureSessionFailed = 6,
        ClientAppTooOld = 7,
        AccountSuspended = 8,
    };

    TavelinSessionDetails(); // reset, with the profile read from the registry
    virtual ~TavelinSessionDetails();

    int getUserID() const { return m_userId; }
    void setUserID(int id) { m_userId = id; }
    int getMachineID() const { return m_machineId; }
    void setMachineID(int id) { m_machineId = id; }
    const std::wstring& getUserName() const { return m_userName; }
    void setUserName(const std::wstring& name) { m_userName = name; }
    const std::wstring& getUserPassword() const { return m_password; }
    void setUserPassword(const std::wstring& password) { m_password = password; }
    const ByteArray& getUserPasswordHash() const { return m_passwordHash; }
    void setUserPasswordHash(const ByteArray& hash) { m_passwordHash = hash; }
    const ByteArray& getSessionKey() const { return m_sessionKey; }
    void setSessionKey(const ByteArray& key) { m_sessionKey = key; }
    bool isInAutoEnrollMode() const { return m_autoEnroll; }
    void setInAutoEnrollMode(bool on) { m_autoEnroll = on; }
    ClientProfile& getClientProfile() { return m_profile; }
    const ClientProfile& getClientProfile() const { return m_profile; }
    ConnectionStatus getConnectionStatus() const { return m_status; }
    void setConnectionStatus(ConnectionStatus status) { m_status = status; }
    ConnectionError getConnectionError() const { return m_error; }
    void setConnectionError(ConnectionError error) { m_error = error; }

    bool isLoggedOn() const { return m_status == ConnectionStatus::Connected; }
    bool isConnecting() const;
    // Ids to -1, names and password emptied, keys cleared, NotConnected,
    // NotSet, automatic enrollment off. The profile is kept.
    void reset();

    // "NotConnected" ... "ConnectionError"; "Unknown" for other values.
    static std::wstring getConnectionStatusDescription(int status);
    static std::wstring getConnectionStatusDescription(ConnectionStatus status)
    {
        return getConnectionStatusDescription(static_cast<int>(status));
    }
    // "NotSet" ... "AccountSuspended"; "Unknown" for other values.
    static std::wstring getConnectionErrorDescription(int error);
    static std::wstring getConnectionErrorDescription(ConnectionError error)
    {
        return getConnectionErrorDescription(static_cast<int>(error));
    }

private:
    // Read by the transport's worker thread for every message it sends.
    std::atomic<int> m_userId{-1};
    std::atomic<int> m_machineId{-1};
    std::wstring m_userName;
    std::wstring m_password;
    ByteArray m_passwordHash;
    ByteArray m_sessionKey;
    bool m_autoEnroll = false;
    ClientProfile m_profile;
    ConnectionStatus m_status = ConnectionStatus::NotConnected;
    ConnectionError m_error = ConnectionError::NotSet;
};
