#include <gtest/gtest.h>

#include <string>

#include "ServiceTestSupport.h"
#include "base/Registry.h"
#include "shared/framework/Clock.h"
#include "shared/server/ClientProfile.h"
#include "shared/server/ClientProfileUpdateService.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using namespace servertest;
using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;

class ClientProfileUpdateServiceTest : public ::testing::Test {
protected:
    ClientProfileUpdateServiceTest()
    {
        // The profile is saved in this test's key, not the user's own.
        m_system.getTavelinSessionDetails().getClientProfile() = ClientProfile(m_key.path());
        m_service = m_framework.add(new ClientProfileUpdateService(m_system));
        m_framework.setup();
    }

    // The logon service's broadcasts as a logon goes on; the session holds
    // the last of them by the time the services read the first.
    void logOnWithBroadcasts(int userId)
    {
        TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
        m_framework.broadcastStatus(Status::Connecting);
        m_framework.broadcastStatus(Status::Authenticating);
        session.setUserID(userId);
        session.setConnectionStatus(Status::Connected);
        m_framework.broadcastStatus(Status::Connected);
        m_framework.drain();
    }

    void fail()
    {
        TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
        session.setConnectionError(Error::ConnectFailed);
        session.setConnectionStatus(Status::ConnectionError);
        m_framework.broadcastStatus(Status::ConnectionError);
        m_framework.drain();
    }

    static Msg* profileResponse()
    {
        Msg* msg = new Msg();
        msg->setType(Msg::CLIENT_PROFILE_RESPONSE);
        msg->setAttributeValue(L"ConnectionID", 4);
        msg->setAttributeValue(L"AllowPhoneOverrideActivity", 1);
        msg->setAttributeValue(L"MaximumMeetingTimeSpan", 90);
        return msg;
    }

    testsupport::EventRecorder m_events;
    testsupport::TestKey m_key{L"ClientProfileUpdateService"};
    ManualClock m_clock;
    TestSystem m_system{m_clock};
    TestFramework m_framework;
    ClientProfileUpdateService* m_service = nullptr;
};

TEST_F(ClientProfileUpdateServiceTest, OneRequestAfterEveryChangeToConnected)
{
    logOnWithBroadcasts(31);
    std::vector<Msg> requests = m_framework.http().sentOfType(Msg::CLIENT_PROFILE_REQUEST);
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(31, number(requests[0], L"UserID"));
    EXPECT_EQ(2, requests[0].getIntAttributeCount()) << "MsgType and UserID only";

    fail();
    EXPECT_EQ(1u, m_framework.http().sent().size());

    logOnWithBroadcasts(32);
    requests = m_framework.http().sentOfType(Msg::CLIENT_PROFILE_REQUEST);
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(32, number(requests[1], L"UserID"));
}

TEST_F(ClientProfileUpdateServiceTest, AConnectedThatHasFailedSinceAsksNothing)
{
    m_framework.broadcastStatus(Status::Connected);
    m_system.getTavelinSessionDetails().setConnectionStatus(Status::ConnectionError);
    m_framework.drain();
    EXPECT_TRUE(m_framework.http().sent().empty());
}

TEST_F(ClientProfileUpdateServiceTest, WithoutAStatusInTheBroadcastTheSessionDecides)
{
    Msg* bare = new Msg();
    bare->setType(Msg::CONNECTION_STATUS_CHANGE);
    m_framework.sendMessage(bare, CommunicationDevice::Internal);
    m_framework.drain();
    EXPECT_TRUE(m_framework.http().sent().empty());

    m_system.getTavelinSessionDetails().setConnectionStatus(Status::Connected);
    m_system.getTavelinSessionDetails().setUserID(9);
    bare = new Msg();
    bare->setType(Msg::CONNECTION_STATUS_CHANGE);
    m_framework.sendMessage(bare, CommunicationDevice::Internal);
    m_framework.drain();
    ASSERT_EQ(1u, m_framework.http().sentOfType(Msg::CLIENT_PROFILE_REQUEST).size());
}

TEST_F(ClientProfileUpdateServiceTest, TheResponseReplacesTheProfileAndIsAnnounced)
{
    const ClientProfile& profile = m_system.getTavelinSessionDetails().getClientProfile();
    ASSERT_FALSE(profile.overrideActivityWhenOnPhone());

    m_framework.http().deliver(profileResponse());
    ASSERT_TRUE(m_framework.pulse());
    // The profile has changed at once; the others hear of it a pulse later.
    EXPECT_TRUE(profile.overrideActivityWhenOnPhone());
    EXPECT_EQ(90, profile.getMaximumMeetingMinutes());
    EXPECT_TRUE(m_framework.broadcasts().ofType(Msg::CLIENT_PROFILE_CHANGE).empty());
    m_framework.drain();

    const std::vector<Msg> changes = m_framework.broadcasts().ofType(Msg::CLIENT_PROFILE_CHANGE);
    ASSERT_EQ(1u, changes.size());
    EXPECT_EQ(1, number(changes[0], L"ClientProfileUpdateEvent"));

    const Registry user(Registry::CurrentUser, m_key.path());
    EXPECT_EQ(1, user.read(L"AllowPhoneOverrideActivity", -5));
    EXPECT_EQ(90, user.read(L"MaximumMeetingTimeSpan", -5));
    EXPECT_EQ(-5, user.read(L"ConnectionID", -5));
    // What the next start reads.
    EXPECT_TRUE(ClientProfile(m_key.path()).overrideActivityWhenOnPhone());
}

TEST_F(ClientProfileUpdateServiceTest, HostileNamesFromTheServerReachNoRegistryValue)
{
    Registry user(Registry::CurrentUser, m_key.path());
    ASSERT_TRUE(user.write(L"Username", L"jane"));

    Msg* response = profileResponse();
    response->setAttributeValue(L"Username", std::wstring(L"mallory"));
    response->setAttributeValue(L"Servers\\server.0.host", std::wstring(L"evil.example"));
    response->setAttributeValue(L"..\\..\\Run", 1);
    m_framework.http().deliver(response);
    m_framework.drain();

    EXPECT_EQ(L"jane", user.read(L"Username", L"missing"));
    EXPECT_EQ(L"missing", user.read(L"Servers\\server.0.host", L"missing"));
    EXPECT_EQ(-5, user.read(L"..\\..\\Run", -5));
    EXPECT_EQ(1, user.read(L"AllowPhoneOverrideActivity", -5)) << "the known settings still land";
    ASSERT_EQ(1u, m_events.count(1063301));
    const std::wstring details = m_events.find(1063301).details;
    EXPECT_NE(std::wstring::npos, details.find(L"\"Servers\\server.0.host\" (text)"));
    EXPECT_NE(std::wstring::npos, details.find(L"\"Username\" (text)"));
    EXPECT_NE(std::wstring::npos, details.find(L"\"..\\..\\Run\""));
    EXPECT_EQ(1u, m_framework.broadcasts().ofType(Msg::CLIENT_PROFILE_CHANGE).size());
}

} // namespace
