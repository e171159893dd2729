#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "HttpTestSupport.h"
#include "base/File.h"
#include "base/Registry.h"
#include "shared/framework/tests/FrameworkFakes.h"
#include "shared/server/ServerConnectionManagerService.h"
#include "shared/server/ServerLogonService.h"
#include "shared/server/ServerPingService.h"
#include "shared/server/ServerResponseHandlerService.h"
#include "testsupport/EventCapture.h"

using namespace httptest;
using frameworktest::FakeDevice;
using frameworktest::TestFramework;
using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;

namespace {

class LogonProbe : public ServerLogonService {
public:
    using ServerLogonService::ServerLogonService;
    const SimpleTimer& timer() const { return m_timer; }
};

class ManagerProbe : public ServerConnectionManagerService {
public:
    using ServerConnectionManagerService::ServerConnectionManagerService;
    const SimpleTimer& timer() const { return m_timer; }
};

class PingProbe : public ServerPingService {
public:
    using ServerPingService::ServerPingService;
    const SimpleTimer& timer() const { return m_timer; }
};

// The services on a framework whose devices only record what is sent; the
// test carries the messages: Http ones to a scripted server, whose replies
// and the internal broadcasts it routes back as the framework would.
class LogonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_queueName = testsupport::uniqueName(L"logonq") + L".dat";
        m_device.reset(new ScriptedDevice(m_system, m_clock, m_server, m_queueName));
        m_internal = new FakeDevice(CommunicationDevice::Internal, "internal", m_journal);
        m_http = new FakeDevice(CommunicationDevice::Http, "http", m_journal);
        m_framework->addCommunicationDevice(m_internal);
        m_framework->addCommunicationDevice(m_http);
        m_logon = new LogonProbe(m_system, *m_device, m_servers.path());
        m_framework->addService(m_logon);
    }
    void TearDown() override
    {
        m_framework.reset();
        m_device.reset();
        testsupport::removeFile(File::getTempPath() + File::Separator + m_queueName);
    }

    ManagerProbe* addManager()
    {
        m_manager = new ManagerProbe(m_system, *m_logon, m_clock, m_signIn.path(), m_older.path());
        m_framework->addService(m_manager);
        return m_manager;
    }

    void route(Msg& msg)
    {
        for (Service* s : std::vector<Service*>{m_logon, m_manager, m_ping})
            if (s && s->canProcessMsg(msg))
                s->processMsg(msg);
    }

    // Carries every message until nothing moves; the statuses broadcast are
    // collected in m_statuses.
    void pump()
    {
        for (int round = 0; round < 20; ++round) {
            bool moved = false;
            while (Msg* raw = m_internal->takeSent()) {
                std::unique_ptr<Msg> msg(raw);
                int status = -1;
                if (msg->getAttributeValue(L"ConnectionStatus", status))
                    m_statuses.push_back(status);
                route(*msg);
                moved = true;
            }
            while (Msg* raw = m_http->takeSent()) {
                std::unique_ptr<Msg> msg(raw);
                m_sent.push_back(*msg);
                if (m_serverDown)
                    continue;
                Request request;
                request.path = HttpCommDevice::SubmitPath;
                msg->toByteArray(request.body);
                ByteArray reply;
                if (m_server.handle(request, reply) == HttpCommDevice::Success) {
                    Msg answer;
                    answer.fromByteArray(reply);
                    route(answer);
                }
                moved = true;
            }
            if (!moved)
                return;
        }
    }

    // Routes the broadcasts waiting, drops what waits for the server.
    void flushInternal()
    {
        while (Msg* raw = m_internal->takeSent()) {
            std::unique_ptr<Msg> msg(raw);
            route(*msg);
        }
        while (Msg* raw = m_http->takeSent())
            delete raw;
    }

    Msg errorMsg(const std::wstring& type)
    {
        Msg m;
        m.setType(Msg::ERROR_MSG);
        m.setAttributeValue(L"ErrorID", 12);
        m.setAttributeValue(L"ErrorType", type);
        return m;
    }
    static Msg deviceEvent(int event)
    {
        Msg m;
        m.setType(Msg::HTTP_COMM_DEVICE);
        m.setAttributeValue(L"HttpCommEvent", event);
        return m;
    }
    TavelinSessionDetails& session() { return m_system.getTavelinSessionDetails(); }
    void saveSignIn(const std::wstring& key, const std::wstring& name, const std::wstring& password)
    {
        Registry r(Registry::CurrentUser, key);
        r.write(L"Username", name);
        r.write(L"SessionID", SecurityDevice::encryptString(password, name));
    }

    testsupport::EventRecorder m_trace{testsupport::uniqueName(L"LogonTest")};
    // Keys of their own for every test (natively a key outlives its test).
    static std::wstring fresh(const wchar_t* stem)
    {
        static int s_count = 0;
        return stem + std::to_wstring(++s_count) + L"_";
    }
    testsupport::TestKey m_servers{fresh(L"servers"), Registry::LocalMachine};
    testsupport::TestKey m_signIn{fresh(L"signin")};
    testsupport::TestKey m_older{fresh(L"older")};
    ScriptedDesktop m_desktop;
    ManualClock m_clock{1800000000};
    System m_system{m_desktop, m_clock};
    ScriptedServer m_server;
    std::wstring m_queueName;
    std::unique_ptr<ScriptedDevice> m_device;
    std::shared_ptr<testsupport::Journal> m_journal = std::make_shared<testsupport::Journal>();
    std::unique_ptr<TestFramework> m_framework{new TestFramework};
    FakeDevice* m_internal = nullptr;
    FakeDevice* m_http = nullptr;
    LogonProbe* m_logon = nullptr;
    ManagerProbe* m_manager = nullptr;
    PingProbe* m_ping = nullptr;
    std::vector<int> m_statuses;
    std::vector<Msg> m_sent;
    bool m_serverDown = false;
};

std::vector<int> statuses(std::initializer_list<Status> list)
{
    std::vector<int> out;
    for (Status s : list)
        out.push_back(static_cast<int>(s));
    return out;
}

TEST_F(LogonTest, MissingHelloServersAreReplacedByTheFiveDefaultsWrittenToTheRegistry)
{
    const auto list = ServerLogonService::loadHelloServers(m_servers.path());
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list.front(), (std::pair<std::wstring, int>{L"hello1.ondrivex.com", 80}));
    Registry r(Registry::LocalMachine, m_servers.path());
    EXPECT_EQ(r.read(L"server.4.host", L""), L"hello5.ondrivex.com");
    EXPECT_EQ(r.read(L"server.4.port", 0), 80);
}

TEST_F(LogonTest, CompleteHelloListIsUsedUnchangedAndAGapAppendsTheDefaults)
{
    Registry r(Registry::LocalMachine, m_servers.path());
    for (int i = 0; i < 5; ++i) {
        r.write(L"server." + std::to_wstring(i) + L".host", L"h" + std::to_wstring(i));
        r.write(L"server." + std::to_wstring(i) + L".port", 8000 + i);
    }
    auto list = ServerLogonService::loadHelloServers(m_servers.path());
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list.back(), (std::pair<std::wstring, int>{L"h4", 8004}));

    r.write(L"server.2.port", 0);
    list = ServerLogonService::loadHelloServers(m_servers.path());
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(list.front(), (std::pair<std::wstring, int>{L"h0", 8000}));
    EXPECT_EQ((++list.begin())->first, L"h1");
    EXPECT_EQ((++ ++list.begin())->first, L"hello1.ondrivex.com");
}

TEST_F(LogonTest, LogOnSendsTheChallengeRequestInLowerCaseAndStartsTheFifteenSecondStage)
{
    m_logon->logOn(L"Ann.Lee", L"secret");
    ASSERT_EQ(m_http->getOutQSize(), 1u);
    std::unique_ptr<Msg> request(m_http->takeSent());
    EXPECT_EQ(request->getType(), Msg::CHALLENGE_REQUEST);
    EXPECT_FALSE(request->isSecure());
    std::wstring text;
    request->getAttributeValue(L"TavelUsername", text);
    EXPECT_EQ(text, L"ann.lee");
    request->getAttributeValue(L"EmailAddress", text);
    EXPECT_EQ(text, L"ann.lee");
    EXPECT_EQ(session().getConnectionStatus(), Status::Connecting);
    EXPECT_TRUE(m_logon->timer().isArmed());
    EXPECT_EQ(m_logon->timer().getDelay(), 15000u);
    EXPECT_EQ(m_logon->timer().getType(), Timer::OneShot);

    // The device asks the hello servers with the lower-cased name.
    m_device->establishConnectability();
    ASSERT_FALSE(m_server.requests.empty());
    EXPECT_EQ(m_server.requests[0].body, ByteArray(std::wstring(L"email=ann.lee")));
    EXPECT_EQ(m_server.requests[0].host, L"hello1.ondrivex.com");
}

TEST_F(LogonTest, LogOnWithoutAPasswordDoesNothing)
{
    m_logon->logOn(L"ann", L"");
    m_logon->logOn(nullptr, L"x");
    EXPECT_EQ(m_http->getOutQSize(), 0u);
    EXPECT_EQ(session().getConnectionStatus(), Status::NotConnected);
}

TEST_F(LogonTest, TheExchangeEndsConnectedWithTheSessionFilledAndTheKeyGivenToTheDevice)
{
    m_logon->logOn(L"Ann", L"secret");
    pump();
    EXPECT_EQ(m_statuses,
              statuses({Status::Connecting, Status::Authenticating, Status::Connected}));
    EXPECT_EQ(session().getUserID(), 41);
    EXPECT_EQ(session().getUserName(), L"Ann");
    EXPECT_EQ(session().getSessionKey(), m_server.sessionKey());
    EXPECT_FALSE(m_logon->timer().isArmed());
    // The authentication request is an envelope naming the user as entered.
    ASSERT_EQ(m_sent.size(), 2u);
    EXPECT_TRUE(m_sent[1].isSecure());
    std::wstring name;
    m_sent[1].getAttributeValue(L"TavelUsername", name);
    EXPECT_EQ(name, L"Ann");
    // The device now seals with the session key: a queued message is
    // delivered after the connection is made.
    m_device->pushMessage(new Msg(errorMsg(L"x")));
    m_device->takeInbound();
    EXPECT_EQ(m_device->getQueuedCount(), 1);
    const ByteArray key = m_server.sessionKey();
    m_device->setSessionKey(&key);
    EXPECT_TRUE(m_device->establishConnectability());
    m_device->sendReceiveMsgs();
    EXPECT_EQ(m_device->getQueuedCount(), 0);
    const auto found = m_trace.withId(1063011);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_NE(found[2].details.find(L"Connected"), std::wstring::npos);
}

TEST_F(LogonTest, ChallengeWithoutDataIsAnAuthenticationFailure)
{
    m_server.submitOverride = [](const Msg& plain, ByteArray& reply) {
        Msg answer;
        answer.setType(Msg::CHALLENGE_RESPONSE);
        answer.toByteArray(reply);
        return true;
    };
    m_logon->logOn(L"ann", L"secret");
    pump();
    EXPECT_EQ(session().getConnectionStatus(), Status::ConnectionError);
    EXPECT_EQ(session().getConnectionError(), Error::AuthenticationFailed);
    EXPECT_EQ(m_trace.count(1063004), 1u);
}

TEST_F(LogonTest, AuthenticationThatIsNotTrueOrHasNoUserIdFails)
{
    for (int variant = 0; variant < 3; ++variant) {
        m_server.submitOverride = [this, variant](const Msg& plain, ByteArray& reply) {
            if (plain.getType() != Msg::AUTHENTICATION_REQUEST)
                return false;
            Msg inside;
            inside.setType(Msg::AUTHENTICATION_RESPONSE);
            if (variant == 1)
                inside.setAttributeValue(L"Result", std::wstring(L"False"));
            if (variant != 1)
                inside.setAttributeValue(L"Result", std::wstring(L"True"));
            if (variant == 0)
                inside.setAttributeValue(L"UserID", 3);
            if (variant == 2) {
                inside.toByteArray(reply); // not an envelope
                return true;
            }
            std::unique_ptr<Msg> envelope(
                SecurityDevice::signAndEncryptMsg(inside, m_server.sessionKey()));
            envelope->toByteArray(reply);
            return true;
        };
        m_logon->logOn(L"ann", L"secret");
        pump();
        if (variant == 0) {
            // The healthy answer, for contrast.
            EXPECT_EQ(session().getConnectionStatus(), Status::Connected);
        } else {
            EXPECT_EQ(session().getConnectionStatus(), Status::ConnectionError) << variant;
            EXPECT_EQ(session().getConnectionError(), Error::AuthenticationFailed) << variant;
        }
    }
    m_server.submitOverride = [this](const Msg& plain, ByteArray& reply) {
        if (plain.getType() != Msg::AUTHENTICATION_REQUEST)
            return false;
        Msg inside;
        inside.setType(Msg::AUTHENTICATION_RESPONSE);
        inside.setAttributeValue(L"Result", std::wstring(L"True"));
        std::unique_ptr<Msg> envelope(
            SecurityDevice::signAndEncryptMsg(inside, m_server.sessionKey()));
        envelope->toByteArray(reply);
        return true;
    };
    m_logon->logOn(L"ann", L"secret");
    pump();
    EXPECT_EQ(session().getConnectionError(), Error::LogOnProcessFailed);
    EXPECT_EQ(m_trace.count(1063008), 1u);
}

TEST_F(LogonTest, ServerRefusalsBecomeTheirConnectionErrors)
{
    const std::pair<std::wstring, Error> cases[] = {
        {L"VerifyDecryptFailed", Error::SecureSessionFailed},
        {L"ClientAppTooOld", Error::ClientAppTooOld},
        {L"AccountSuspended", Error::AccountSuspended}};
    for (const auto& c : cases) {
        m_logon->logOn(L"ann", L"secret");
        Msg error = errorMsg(c.first);
        route(error);
        EXPECT_EQ(session().getConnectionStatus(), Status::ConnectionError);
        EXPECT_EQ(session().getConnectionError(), c.second);
    }
    m_logon->logOn(L"ann", L"secret");
    Msg other = errorMsg(L"SomethingElse");
    route(other);
    EXPECT_EQ(session().getConnectionStatus(), Status::Connecting) << "no change";
    const auto traced = m_trace.withId(1063010);
    ASSERT_EQ(traced.size(), 4u);
    EXPECT_NE(traced[0].details.find(L"VerifyDecryptFailed"), std::wstring::npos);
}

TEST_F(LogonTest, DeviceEventsSetTheStatus)
{
    const std::pair<int, Error> failures[] = {
        {3, Error::ConnectFailed}, {4, Error::ResolveFailed}, {5, Error::ConnectFailed},
        {6, Error::ConnectFailed}, {7, Error::ConnectFailed}, {8, Error::SecureSessionFailed},
        {10, Error::ConnectFailed}};
    for (const auto& f : failures) {
        session().setConnectionStatus(Status::Connected);
        session().setConnectionError(Error::NotSet);
        Msg e = deviceEvent(f.first);
        route(e);
        EXPECT_EQ(session().getConnectionStatus(), Status::ConnectionError) << f.first;
        EXPECT_EQ(session().getConnectionError(), f.second) << f.first;
    }
    session().setConnectionStatus(Status::Connected);
    Msg success = deviceEvent(0);
    route(success);
    EXPECT_EQ(session().getConnectionStatus(), Status::Connected);

    Msg hello = deviceEvent(9);
    hello.setAttributeValue(L"HelloClientVersion", std::wstring(L"3.1"));
    hello.setAttributeValue(L"HelloMOTD", std::wstring(L"Welcome"));
    route(hello);
    EXPECT_EQ(m_logon->getCurrentClientVersion(), L"3.1");
    EXPECT_EQ(m_logon->getMOTD(), L"Welcome");
}

TEST_F(LogonTest, NoAnswerWithinFifteenSecondsIsATimeOut)
{
    m_serverDown = true;
    m_logon->logOn(L"ann", L"secret");
    pump();
    EXPECT_TRUE(m_logon->timer().isArmed());
    m_logon->onTimer(); // what the framework does when the 15 s have passed
    EXPECT_EQ(session().getConnectionStatus(), Status::ConnectionError);
    EXPECT_EQ(session().getConnectionError(), Error::ConnectTimedOut);
    EXPECT_FALSE(m_logon->timer().isArmed());
}

TEST_F(LogonTest, LogOffForgetsTheLogon)
{
    m_logon->logOn(L"ann", L"secret");
    pump();
    m_logon->logOff();
    EXPECT_EQ(session().getConnectionStatus(), Status::NotConnected);
    Msg challenge;
    challenge.setType(Msg::CHALLENGE_RESPONSE);
    challenge.setAttributeValue(L"ChallengeData", new ByteArray("x", 1));
    route(challenge);
    EXPECT_EQ(session().getConnectionError(), Error::LogOnProcessFailed)
        << "a late challenge finds no password";
}

// The connection manager.

TEST_F(LogonTest, WithoutSavedCredentialsThereIsNoLogonAndNoRetry)
{
    addManager();
    EXPECT_TRUE(m_manager->setup());
    EXPECT_EQ(session().getConnectionStatus(), Status::ConnectionError);
    EXPECT_EQ(session().getConnectionError(), Error::LogOnProcessFailed);
    EXPECT_EQ(m_http->getOutQSize(), 0u);
    EXPECT_EQ(m_internal->getOutQSize(), 0u) << "nothing broadcast";
    EXPECT_FALSE(m_manager->timer().isArmed());
    EXPECT_EQ(m_manager->getNextReconnectionTime(), L"");
}

TEST_F(LogonTest, SavedCredentialsLogOnAtStartAndAreSavedAgainOnSuccess)
{
    saveSignIn(m_signIn.path(), L"Ann", L"secret");
    addManager()->setup();
    pump();
    EXPECT_EQ(session().getConnectionStatus(), Status::Connected);
    EXPECT_EQ(m_manager->getNextLogonTime(), 0);
}

TEST_F(LogonTest, CredentialsUnderTheOlderKeyAreCopiedForwardAndUsed)
{
    saveSignIn(m_older.path(), L"Ann", L"secret");
    addManager()->setup();
    Registry current(Registry::CurrentUser, m_signIn.path());
    EXPECT_EQ(current.read(L"Username", L""), L"Ann");
    EXPECT_EQ(
        SecurityDevice::decryptString(current.read(L"SessionID", ByteArray()), L"Ann").substr(0, 6),
        L"secret");
    pump();
    EXPECT_EQ(session().getConnectionStatus(), Status::Connected);
}

TEST_F(LogonTest, AnAutomaticEnrollmentNameIsNeverSaved)
{
    addManager();
    session().setUserName(L"autoenroll@example.org");
    session().setUserPassword(L"pw");
    session().setConnectionStatus(Status::Connected);
    Msg change;
    change.setType(Msg::CONNECTION_STATUS_CHANGE);
    route(change);
    EXPECT_EQ(Registry(Registry::CurrentUser, m_signIn.path()).read(L"Username", L"none"), L"none");

    // Only names with both marks are the organisation's: this one is the
    // user's own and is saved.
    session().setUserName(L"autoenroll@example.com");
    route(change);
    EXPECT_EQ(Registry(Registry::CurrentUser, m_signIn.path()).read(L"Username", L"none"),
              L"autoenroll@example.com");
}

TEST_F(LogonTest, FailedChallengesAreRetriedAfter30Then30Then60Seconds)
{
    m_server.submitOverride = [](const Msg& plain, ByteArray& reply) {
        Msg answer;
        answer.setType(Msg::CHALLENGE_RESPONSE); // without "ChallengeData"
        answer.toByteArray(reply);
        return true;
    };
    saveSignIn(m_signIn.path(), L"ann", L"secret");
    addManager()->setup();
    pump();
    std::vector<int64_t> delays;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_EQ(session().getConnectionError(), Error::AuthenticationFailed);
        const int64_t delay = m_manager->getNextLogonTime() - m_clock.now();
        delays.push_back(delay);
        EXPECT_TRUE(m_manager->timer().isArmed());
        EXPECT_EQ(m_manager->timer().getDelay(), 1000u);
        EXPECT_EQ(m_manager->timer().getType(), Timer::Repeating);
        // One tick short: no logon yet.
        m_clock.advance(delay - 1);
        const size_t sent = m_sent.size();
        m_manager->onTimer();
        pump();
        EXPECT_EQ(m_sent.size(), sent);
        m_clock.advance(1);
        m_manager->onTimer();
        pump();
        EXPECT_EQ(m_sent.size(), sent + 1) << "a new challenge request";
    }
    EXPECT_EQ(delays, (std::vector<int64_t>{30, 30, 60}));
}

TEST_F(LogonTest, FourVerifyDecryptFailuresInARowWaitNothingThreeTimesThen30Seconds)
{
    saveSignIn(m_signIn.path(), L"ann", L"secret");
    addManager()->setup();
    flushInternal();
    std::vector<int64_t> delays;
    for (int i = 0; i < 4; ++i) {
        Msg error = errorMsg(L"VerifyDecryptFailed");
        route(error);
        pump();
        delays.push_back(m_manager->getNextLogonTime() - m_clock.now());
        m_clock.advance(delays.back());
        m_manager->onTimer(); // the next tick logs on again
        EXPECT_EQ(m_manager->getNextLogonTime(), 0);
        EXPECT_EQ(session().getConnectionStatus(), Status::Connecting);
        flushInternal();
    }
    EXPECT_EQ(delays, (std::vector<int64_t>{0, 0, 0, 30}));
    EXPECT_EQ(m_manager->getFailureCount(ServerConnectionManagerService::SecureSessionProblem), 4u);
}

TEST_F(LogonTest, BackOffGrowsPerProblemAndIsResetOnlyOnceADay)
{
    addManager();
    session().setUserName(L"ann");
    session().setUserPassword(L"secret");
    std::vector<int64_t> delays;
    for (int i = 0; i < 11; ++i) {
        session().setConnectionError(Error::ConnectFailed);
        session().setConnectionStatus(Status::ConnectionError);
        Msg change;
        change.setType(Msg::CONNECTION_STATUS_CHANGE);
        route(change);
        delays.push_back(m_manager->getNextLogonTime() - m_clock.now());
    }
    EXPECT_EQ(delays, (std::vector<int64_t>{30, 30, 60, 60, 310, 310, 610, 610, 610, 610, 610}));
    // A different problem has its own count.
    session().setConnectionError(Error::AccountSuspended);
    Msg change;
    change.setType(Msg::CONNECTION_STATUS_CHANGE);
    route(change);
    EXPECT_EQ(m_manager->getNextLogonTime() - m_clock.now(), 30);
    // A success does not reset the counts; a day does.
    session().setConnectionStatus(Status::Connected);
    route(change);
    m_manager->onTimer(); // records the time of the last reset
    m_clock.advance(86399);
    m_manager->onTimer();
    EXPECT_EQ(m_manager->getFailureCount(ServerConnectionManagerService::NetworkProblem), 11u);
    m_clock.advance(1);
    m_manager->onTimer();
    EXPECT_EQ(m_manager->getFailureCount(ServerConnectionManagerService::NetworkProblem), 0u);
}

TEST_F(LogonTest, ErrorsThatNameNoProblemScheduleNothing)
{
    addManager();
    session().setConnectionError(Error::NotSet);
    session().setConnectionStatus(Status::ConnectionError);
    Msg change;
    change.setType(Msg::CONNECTION_STATUS_CHANGE);
    route(change);
    EXPECT_EQ(m_manager->getNextLogonTime(), 0);
    EXPECT_FALSE(m_manager->timer().isArmed());
}

TEST_F(LogonTest, ReconnectionTextsCountDown)
{
    addManager();
    session().setConnectionError(Error::ConnectFailed);
    session().setConnectionStatus(Status::ConnectionError);
    Msg change;
    change.setType(Msg::CONNECTION_STATUS_CHANGE);
    route(change); // in 30 s
    const int64_t at = m_manager->getNextLogonTime();
    auto textAt = [&](int64_t left) {
        m_clock.set(at - left);
        return m_manager->getNextReconnectionTime();
    };
    EXPECT_EQ(textAt(1), L"Reconnecting in 1 second");
    EXPECT_EQ(textAt(2), L"Reconnecting in 2 seconds");
    EXPECT_EQ(textAt(60), L"Reconnecting in 60 seconds");
    EXPECT_EQ(textAt(61), L"Reconnecting in 1 minute");
    EXPECT_EQ(textAt(3600), L"Reconnecting in 60 minutes");
    EXPECT_EQ(textAt(7200), L"Reconnecting in 2 hours");
    EXPECT_EQ(textAt(3601), L"Reconnecting in 1 hour");
    EXPECT_EQ(textAt(0), L"Reconnecting...");
    EXPECT_EQ(textAt(-5), L"Reconnecting...");
}

// The ping service and the response handler.

TEST_F(LogonTest, PingTimerStartsWithTheFirstSuccessAndSendsTheCurrentStatus)
{
    int built = 0;
    m_ping = new PingProbe(m_system, [&built](System&) -> Msg* {
        ++built;
        Msg* msg = new Msg();
        msg->setType(Msg::SYSTEM_STATE_CHANGE);
        return msg;
    });
    m_framework->addService(m_ping);
    EXPECT_TRUE(m_ping->setup());
    EXPECT_FALSE(m_ping->timer().isArmed());
    Msg failure = deviceEvent(HttpCommDevice::ConnectFailure);
    m_ping->processMsg(failure);
    EXPECT_FALSE(m_ping->timer().isArmed());
    Msg success = deviceEvent(HttpCommDevice::Success);
    m_ping->processMsg(success);
    EXPECT_TRUE(m_ping->timer().isArmed());
    EXPECT_EQ(m_ping->timer().getDelay(), 270000u);
    EXPECT_EQ(m_ping->timer().getType(), Timer::Repeating);
    m_ping->onTimer();
    EXPECT_EQ(built, 1);
    std::unique_ptr<Msg> sent(m_http->takeSent());
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->getType(), Msg::SYSTEM_STATE_CHANGE);
}

TEST_F(LogonTest, PingWithoutAStatusIsTraced)
{
    m_ping = new PingProbe(m_system, [](System&) -> Msg* { return nullptr; });
    m_framework->addService(m_ping);
    m_ping->onTimer();
    EXPECT_EQ(m_trace.count(1063101), 1u);
    EXPECT_EQ(m_http->getOutQSize(), 0u);
}

TEST_F(LogonTest, UpdateStoresTheMachineIdAndTheApplicationId)
{
    ServerResponseHandlerService handler(m_system);
    testsupport::TempFolder folder(L"respapp");
    const std::wstring exe = folder.file(L"ed.exe");
    testsupport::writeFile(exe, std::string("MZ"));
    m_system.addApplication(exe.c_str(), -1);

    Msg update;
    update.setType(Msg::UPDATE);
    update.setAttributeValue(L"MachineID", 7);
    update.setAttributeValue(L"ApplicationID", 31);
    update.setAttributeValue(L"FilePath", exe);
    ASSERT_TRUE(handler.canProcessMsg(update));
    handler.processMsg(update);
    EXPECT_EQ(session().getMachineID(), 7);
    EXPECT_EQ(m_system.getApplicationID(exe.c_str()), 31);
    EXPECT_EQ(m_trace.find(1063201).details, L" Msg Type:UPDATE");

    // An id for a path the client does not know yet is kept, not thrown.
    update.setAttributeValue(L"FilePath", folder.file(L"other.exe"));
    update.setAttributeValue(L"ApplicationID", 32);
    EXPECT_NO_THROW(handler.processMsg(update));
    EXPECT_EQ(m_system.getApplicationID(folder.file(L"other.exe").c_str()), 32);

    // Later status messages carry the machine id instead of the names.
    const ByteArray key = m_server.sessionKey();
    m_device->resetConnection(L"ann", {{L"hello", 80}});
    ASSERT_TRUE(m_device->establishConnectability());
    m_device->setSessionKey(&key);
    Msg* status = new Msg();
    status->setType(Msg::SYSTEM_STATE_CHANGE);
    status->setAttributeValue(L"MachineName", std::wstring(L"PC"));
    status->setAttributeValue(L"MachineDomain", std::wstring(L"D"));
    m_device->pushMessage(status);
    m_device->sendReceiveMsgs();
    ASSERT_EQ(m_server.stored.size(), 1u);
    int machine = 0;
    m_server.stored[0].getAttributeValue(L"MachineID", machine);
    EXPECT_EQ(machine, 7);
    EXPECT_FALSE(m_server.stored[0].containsStringAttribute(L"MachineName"));

    Msg ack;
    ack.setType(Msg::ACKNOWLEDGEMENT);
    EXPECT_TRUE(handler.canProcessMsg(ack));
    Msg other;
    other.setType(Msg::ERROR_MSG);
    EXPECT_FALSE(handler.canProcessMsg(other));
}

} // namespace
