// The logon service: the hello-server list, the challenge and authentication
// exchange, the device's events and the logon's time-out.
#include <gtest/gtest.h>

#include "LogonFixture.h"

using namespace logontest;

namespace {

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
            return sealedReply(inside, reply);
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
        return sealedReply(inside, reply);
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

} // namespace
