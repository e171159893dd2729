#pragma once
#include <memory>
#include <string>
#include <vector>

#include "client/ClientOperations.h"
#include "shared/framework/ApplicationFramework.h"

class Clock;
class Desktop;
class GUILogDevice;
class GUIStatusUpdateService;
class System;
class ServerLogonService;
class ServerConnectionManagerService;
class UserStateChangeService;

// The client's framework: every communication device and service of the
// client, added in one fixed order (see the constructor), and the
// operations the status window and the report links use, each forwarded to
// the object that owns it. The System is the one the system change service
// owns; every service that needs one is given it.
class TavelinClientApplication : public ApplicationFramework, public ClientOperations {
public:
    // Where the services find the machine, the time and their stored
    // state. The program uses the defaults; tests point them at a scripted
    // desktop, a driven clock and keys and files of their own.
    struct Environment {
        Desktop* desktop = nullptr;  // null: the real desktop
        const Clock* clock = nullptr; // null: the system clock
        std::wstring sharedMemoryName = L"ContextInfo";
        std::wstring queueFileName;   // empty: the HTTP device's own
        std::wstring userKey;         // empty: HKCU "Software\\Ondrivex"
        std::wstring olderUserKey;    // empty: the earlier versions' key
        std::wstring machineKey;      // empty: HKLM "Software\\Ondrivex"
        std::wstring serversKey;      // empty: the hello-server list's own
    };

    TavelinClientApplication();
    explicit TavelinClientApplication(const Environment& environment);
    // Shuts the logger down first (the GUI log device goes with it), then
    // the framework destroys the services and devices.
    ~TavelinClientApplication() override;

    std::wstring getReportsURL() override;
    std::wstring getMOTD() override;
    std::wstring getCurrentClientVersionURL() override;
    std::wstring getCurrentClientVersion() override;
    void logOn(const std::wstring& userName, const std::wstring& password) override;
    std::wstring getNextReconnectionTime() override;
    void atMeeting(const std::wstring& subject, int seconds) override;
    void stopMeeting() override;
    void onPhoneCall(const std::wstring& subject) override;
    void stopPhoneCall() override;
    void enablePrivacy(int seconds) override;
    void stopPrivacy() override;
    System& getSystem() override { return *m_system; }
    void setStatusWindow(native::Window window) override;
    bool getNextLogLine(std::wstring& line) override;
    // Pulses until nothing more happens. An Exception ends the step: it is
    // logged (1190001) and the next tick pulses again.
    void doWork() override;

    // The rows as they were added, by class name, for the start-up trace
    // and the tests.
    const std::vector<std::wstring>& composition() const { return m_composition; }

protected:
    void addRow(const wchar_t* name) { m_composition.emplace_back(name); }

private:
    // Kept pointers, not owned (the framework or the logger owns them).
    GUILogDevice* m_guiLog = nullptr;
    ServerConnectionManagerService* m_connectionManager = nullptr;
    GUIStatusUpdateService* m_guiStatus = nullptr;
    ServerLogonService* m_logon = nullptr;
    UserStateChangeService* m_userState = nullptr;
    System* m_system = nullptr;
    std::vector<std::wstring> m_composition;
};
