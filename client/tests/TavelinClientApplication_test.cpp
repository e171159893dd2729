#include "client/TavelinClientApplication.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Msg.h"
#include "base/Registry.h"
#include "client/GUIStatusUpdateService.h"
#include "shared/framework/Clock.h"
#include "shared/framework/Service.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "shared/server/TavelinSessionDetails.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

// A service that fails on every message it is offered, and counts them.
class ThrowingService : public Service {
public:
    explicit ThrowingService(int& seen) : m_seen(seen) {}
    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override { return msg.getType() == Msg::UNSPECIFIED; }
    bool processMsg(Msg&) override
    {
        ++m_seen;
        throw Exception(1199999, L"broken service", TC_AT(L"ThrowingService::processMsg"));
    }

private:
    int& m_seen;
};

// Everything the services touch is the test's own: a scripted desktop, a
// clock it moves, a channel name, queue file and registry keys nobody else
// uses, and hello servers on a loopback port where nothing listens.
class TestEnvironment {
public:
    TestEnvironment()
    {
        m_desktop.useClock(m_clock);
        Registry servers(Registry::LocalMachine, m_servers.path());
        for (int n = 0; n < 5; ++n) {
            servers.write(L"server." + std::to_wstring(n) + L".host", L"127.0.0.1");
            servers.write(L"server." + std::to_wstring(n) + L".port", 1);
        }
        environment.desktop = &m_desktop;
        environment.clock = &m_clock;
        environment.sharedMemoryName = testsupport::uniqueName(L"ContextInfo");
        environment.queueFileName = m_folder.file(L"system.dat");
        environment.userKey = m_user.path();
        environment.olderUserKey = m_older.path();
        environment.machineKey = m_machine.path();
        environment.serversKey = m_servers.path();
    }
    ManualClock& clock() { return m_clock; }

    TavelinClientApplication::Environment environment;

private:
    ManualClock m_clock;
    ScriptedDesktop m_desktop;
    testsupport::TempFolder m_folder{L"client-app"};
    testsupport::TestKey m_user{L"ClientUser"};
    testsupport::TestKey m_older{L"ClientOlder"};
    testsupport::TestKey m_machine{L"ClientMachine", Registry::LocalMachine};
    testsupport::TestKey m_servers{L"ClientServers", Registry::LocalMachine};
};

class TestApplication : public TavelinClientApplication {
public:
    TestApplication(const Environment& environment, int& seen)
        : TavelinClientApplication(environment)
    {
        addService(new ThrowingService(seen));
        addRow(L"ThrowingService");
    }
    void post(Msg* msg) { sendMessage(msg, CommunicationDevice::Internal); }
};

using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;

class TavelinClientApplicationTest : public ::testing::Test {
protected:
    // Pulses until the condition holds; the devices answer on their own
    // threads, so this waits for them, within a bound.
    template <class Condition>
    bool pulseUntil(TavelinClientApplication& app, Condition condition)
    {
        for (int tick = 0; tick < 5000; ++tick) {
            app.doWork();
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    testsupport::EventRecorder recorder{L"Ondrivex"};
    TestEnvironment test;
};

TEST_F(TavelinClientApplicationTest, EveryRowIsAddedInItsOrder)
{
    TavelinClientApplication app(test.environment);
    const std::vector<std::wstring> expected = {
        L"GUILogDevice",
        L"InternalCommDevice",
        L"SharedMemCommDevice",
        L"SystemChangeService",
        L"HttpCommDevice",
        L"ServerStatusUpdateService",
        L"ServerResponseHandlerService",
        L"PCLockedMonitorService",
        L"IdleUserMonitorService",
        L"ServerLogonService",
        L"GenericAppChangeService",
        L"GUIStatusUpdateService",
        L"BackupActivityMonitorService",
        L"ServerConnectionManagerService",
        L"AutoEnrollService",
        L"ServerPingService",
        L"ServerUserUpdateService",
        L"ClientProfileUpdateService",
        L"UserStateChangeService",
    };
    EXPECT_EQ(expected, app.composition());
    EXPECT_TRUE(app.setup());
}

TEST_F(TavelinClientApplicationTest, WithoutASavedSignInTheStartWaitsForTheUser)
{
    TavelinClientApplication app(test.environment);
    ASSERT_TRUE(app.setup());
    app.doWork();
    const TavelinSessionDetails& session = app.getSystem().getTavelinSessionDetails();
    EXPECT_EQ(Status::ConnectionError, session.getConnectionStatus());
    EXPECT_EQ(Error::LogOnProcessFailed, session.getConnectionError());
    EXPECT_EQ(L"", app.getNextReconnectionTime());
}

TEST_F(TavelinClientApplicationTest, SignInGoesToTheLogonServiceAndAFailureIsRescheduled)
{
    TavelinClientApplication app(test.environment);
    ASSERT_TRUE(app.setup());
    app.doWork();
    const TavelinSessionDetails& session = app.getSystem().getTavelinSessionDetails();

    app.logOn(L"ann@example.org", L"secret");
    EXPECT_EQ(Status::Connecting, session.getConnectionStatus());
    // Nothing listens on the hello servers' port: the logon fails (at the
    // latest when its stage times out), and the connection manager names
    // when it tries again.
    test.clock().advance(16);
    ASSERT_TRUE(pulseUntil(app, [&] { return session.getConnectionStatus() == Status::ConnectionError; }));
    EXPECT_TRUE(session.getConnectionError() == Error::ConnectTimedOut ||
                session.getConnectionError() == Error::ConnectFailed)
        << static_cast<int>(session.getConnectionError());
    EXPECT_EQ(0u, app.getNextReconnectionTime().find(L"Reconnecting in "))
        << std::string(app.getNextReconnectionTime().begin(), app.getNextReconnectionTime().end());
    // No hello server answered, so the server's addresses are unknown.
    EXPECT_EQ(L"", app.getReportsURL());
    EXPECT_EQ(L"", app.getMOTD());
}

TEST_F(TavelinClientApplicationTest, DeclaredStatesReachTheSharedSystem)
{
    TavelinClientApplication app(test.environment);
    ASSERT_TRUE(app.setup());
    const UserStatus& status = app.getSystem().getUserStatus();

    app.onPhoneCall(L"Suppliers");
    ASSERT_TRUE(pulseUntil(app, [&] { return status.onPhone(); }));
    EXPECT_EQ(L"Suppliers", status.reason());
    app.stopPhoneCall();
    ASSERT_TRUE(pulseUntil(app, [&] { return !status.onPhone(); }));

    app.enablePrivacy(600);
    ASSERT_TRUE(pulseUntil(app, [&] { return status.isPrivate(); }));
    app.stopPrivacy();
    ASSERT_TRUE(pulseUntil(app, [&] { return !status.isPrivate(); }));

    app.atMeeting(L"Board", 60);
    ASSERT_TRUE(pulseUntil(app, [&] { return status.atMeeting(); }));
    EXPECT_EQ(L"Board", status.reason());
    app.stopMeeting();
    ASSERT_TRUE(pulseUntil(app, [&] { return !status.atMeeting(); }));
}

TEST_F(TavelinClientApplicationTest, AMeetingEndsByItselfWhenTheClockSaysSo)
{
    TavelinClientApplication app(test.environment);
    ASSERT_TRUE(app.setup());
    const UserStatus& status = app.getSystem().getUserStatus();
    app.atMeeting(L"Board", 60);
    ASSERT_TRUE(pulseUntil(app, [&] { return status.atMeeting(); }));

    test.clock().advance(50);
    app.doWork();
    EXPECT_TRUE(status.atMeeting());
    test.clock().advance(20);
    ASSERT_TRUE(pulseUntil(app, [&] { return !status.atMeeting(); }));
}

TEST_F(TavelinClientApplicationTest, TracedEventsReachTheLogWindowsList)
{
    TavelinClientApplication app(test.environment);
    Event e(1190777, L"for the log window", TC_AT(L"Test::trace"));
    Logger::Trace(e);
    // The devices' threads may trace too; the line is among what waits.
    std::wstring line;
    bool found = false;
    while (!found && app.getNextLogLine(line))
        found = line.find(L"for the log window") != std::wstring::npos;
    ASSERT_TRUE(found);
    EXPECT_NE(std::wstring::npos, line.find(L"1190777"));
}

TEST_F(TavelinClientApplicationTest, AnExceptionInAPulseIsLoggedAndTheNextTickGoesOn)
{
    int seen = 0;
    TestApplication app(test.environment, seen);
    ASSERT_TRUE(app.setup());
    app.post(new Msg);
    app.post(new Msg);
    // The internal device hands each message over on its own thread.
    for (int tick = 0; tick < 2000 && seen < 2; ++tick) {
        app.doWork();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(2, seen);
    std::vector<testsupport::CapturedEvent> events = recorder.withId(1190001);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(L"Unexpected Exception in main loop", events[0].description);
    EXPECT_EQ(1199999, events[0].exceptionId);
    EXPECT_TRUE(events[0].logged);
}

} // namespace
