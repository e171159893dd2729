#pragma once
// What the window tests share: a fake of the rest of the client that
// records what the windows ask of it, a status window whose message boxes
// and about box the test answers, message pumping and screenshots.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/win32/WindowsSupport.h"
#include "client/ClientOperations.h"
#include "client/GUILogDevice.h"
#include "client/win32/CChildDialog.h"
#include "client/win32/CDlgController.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "testsupport/TestSupport.h"

namespace clienttest {

class FakeClient : public ClientOperations {
public:
    FakeClient() : system(desktop, clock) { log.Setup(); }

    std::wstring getReportsURL() override { return reports; }
    std::wstring getMOTD() override { return motd; }
    std::wstring getCurrentClientVersionURL() override { return versionUrl; }
    std::wstring getCurrentClientVersion() override { return serverVersion; }
    void logOn(const std::wstring& user, const std::wstring& password) override
    {
        calls.push_back(L"logOn " + user + L" " + password);
    }
    std::wstring getNextReconnectionTime() override { return reconnect; }
    void atMeeting(const std::wstring& subject, int seconds) override
    {
        calls.push_back(L"atMeeting " + subject + L" " + std::to_wstring(seconds));
        system.getUserStatus().atMeeting(true, subject);
        system.getUserStatus().duration(seconds);
    }
    void stopMeeting() override
    {
        calls.push_back(L"stopMeeting");
        system.getUserStatus().atMeeting(false);
    }
    void onPhoneCall(const std::wstring& subject) override
    {
        calls.push_back(L"onPhoneCall " + subject);
        system.getUserStatus().onPhone(true, subject);
    }
    void stopPhoneCall() override
    {
        calls.push_back(L"stopPhoneCall");
        system.getUserStatus().onPhone(false);
    }
    void enablePrivacy(int seconds) override
    {
        calls.push_back(L"enablePrivacy " + std::to_wstring(seconds));
        system.getUserStatus().setPrivate(true);
    }
    void stopPrivacy() override
    {
        calls.push_back(L"stopPrivacy");
        system.getUserStatus().setPrivate(false);
    }
    System& getSystem() override { return system; }
    void setStatusWindow(native::Window window) override { statusWindow = window; }
    bool getNextLogLine(std::wstring& line) override { return log.getNextLogLine(line); }
    void doWork() override { ++pulses; }

    TavelinSessionDetails& session() { return system.getTavelinSessionDetails(); }
    void connect(TavelinSessionDetails::ConnectionStatus status,
                 TavelinSessionDetails::ConnectionError error =
                     TavelinSessionDetails::ConnectionError::NotSet)
    {
        session().setConnectionStatus(status);
        session().setConnectionError(error);
    }

    ScriptedDesktop desktop;
    ManualClock clock;
    System system;
    GUILogDevice log;
    std::wstring reports = L"http://reports.test/";
    std::wstring motd;
    std::wstring versionUrl = L"http://reports.test/Download/Client.aspx";
    std::wstring serverVersion;
    std::wstring reconnect = L"Reconnecting in 30 seconds";
    std::vector<std::wstring> calls;
    native::Window statusWindow = nullptr;
    int pulses = 0;
};

class TestController : public CDlgController {
public:
    TestController(ClientOperations& client, const Registry& settings, const Clock& clock)
        : CDlgController(client, settings, clock)
    {}
    std::vector<std::wstring> boxes;
    std::vector<UINT> boxFlags;
    int answer = IDNO;
    int aboutShown = 0;
    std::wstring version = L"2.7.1";
    std::wstring localVersion() override { return version; }

protected:
    int messageBox(const std::wstring& text, UINT flags) override
    {
        boxes.push_back(text);
        boxFlags.push_back(flags);
        return answer;
    }
    void showAboutBox() override { ++aboutShown; }
};

// Handles every waiting message of this thread.
void pump();
// A control's text.
std::wstring textOf(HWND control);
// Clicks a button the way a mouse would reach it (BM_CLICK).
void click(HWND button);
// Writes the window as it is on the screen to screenshots/<name>.bmp beside
// the test program's folder, for a person to look at.
void screenshot(HWND window, const std::wstring& name);

class ClientWindowTest : public ::testing::Test {
protected:
    ClientWindowTest();
    ~ClientWindowTest() override;

    // Creates the status window (hidden as the program does, unless shown).
    void open(bool show = true);
    CChildDialog& view(int number) { return *window->view(number); }
    HWND control(int viewNumber, int id) { return GetDlgItem(view(viewNumber).hwnd(), id); }
    void update(int code);

    testsupport::TestKey key{L"ClientWindow"};
    Registry settings{Registry::CurrentUser, key.path()};
    FakeClient client;
    std::unique_ptr<TestController> window;
    std::vector<std::pair<std::wstring, int>> opened;
};

} // namespace clienttest
