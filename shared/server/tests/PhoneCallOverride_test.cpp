// A profile set on the server changes what the client reports: the
// phone-call override travels from the profile reply into the user's
// registry and the session's profile, and from then on a call the user
// declares while still at the keyboard is what the server hears, not the
// application in front.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ServiceTestSupport.h"
#include "base/Registry.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/SystemChangeService.h"
#include "shared/monitoring/UserStateChangeService.h"
#include "shared/server/ClientProfile.h"
#include "shared/server/ClientProfileUpdateService.h"
#include "shared/server/ServerPingService.h"
#include "shared/server/ServerStatusUpdateService.h"
#include "shared/server/ServerStatusUpdateServiceBase.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using namespace servertest;
using Status = TavelinSessionDetails::ConnectionStatus;

class PhoneCallOverrideTest : public ::testing::Test {
protected:
    PhoneCallOverrideTest()
    {
        m_desktop.useClock(m_clock);
        const std::wstring writer = m_folder.file(L"writer.exe");
        testsupport::writeFile(writer, "MZ writer");
        m_desktop.startProcess(100, writer);
        m_desktop.setForeground(m_desktop.openWindow(100, L"Plan.txt - Writer"));

        // The client's own chain: the declared state goes through the
        // system change service, which the status updates listen to.
        SystemChangeService* change = m_framework.add(new SystemChangeService(m_desktop, m_clock));
        m_system = &change->getSystemInfo();
        TavelinSessionDetails& session = m_system->getTavelinSessionDetails();
        // The profile is stored in this test's key, not the user's own.
        session.getClientProfile() = ClientProfile(m_key.path());
        session.setUserID(31);
        session.setUserName(L"anna@example.org");
        m_framework.add(new ServerStatusUpdateService(*m_system));
        m_framework.add(new ClientProfileUpdateService(*m_system));
        m_ping = m_framework.add(new ServerPingService(*m_system));
        m_userState = m_framework.add(new UserStateChangeService(*m_system));
        EXPECT_TRUE(m_framework.setup());
        m_framework.drain();
    }

    // The server answers the profile request with this override.
    void serverSendsProfile(int allowPhoneOverride)
    {
        TavelinSessionDetails& session = m_system->getTavelinSessionDetails();
        session.setConnectionStatus(Status::Connected);
        m_framework.http().clearSent();
        m_framework.broadcastStatus(Status::Connected);
        m_framework.drain();
        ASSERT_EQ(1u, m_framework.http().sentOfType(Msg::CLIENT_PROFILE_REQUEST).size());
        Msg* reply = new Msg();
        reply->setType(Msg::CLIENT_PROFILE_RESPONSE);
        reply->setAttributeValue(L"ConnectionID", 4);
        reply->setAttributeValue(L"AllowPhoneOverrideActivity", allowPhoneOverride);
        m_framework.http().deliver(reply);
        m_framework.drain();
    }

    // The status the keep-alive sends now: the current status as built
    // for the server, without any repeat filter in the way.
    Msg currentStatus()
    {
        m_framework.http().clearSent();
        m_ping->onTimer();
        m_framework.drain();
        std::vector<Msg> sent = m_framework.http().sent();
        EXPECT_EQ(1u, sent.size());
        return sent.empty() ? Msg() : sent.back();
    }

    // The last status the status updates sent for a change.
    Msg lastStatusUpdate()
    {
        std::vector<Msg> sent = m_framework.http().sentOfType(Msg::APPLICATION_CHANGE);
        EXPECT_FALSE(sent.empty());
        return sent.empty() ? Msg() : sent.back();
    }

    // The value stored under the user's key, as the next start reads it.
    int storedOverride()
    {
        return Registry(Registry::CurrentUser, m_key.path())
            .read(ClientProfile::AllowPhoneOverrideActivity, -99);
    }

    testsupport::EventRecorder m_events;
    testsupport::TempFolder m_folder{L"phone-override"};
    testsupport::TestKey m_key{L"PhoneCallOverride"};
    ManualClock m_clock;
    ScriptedDesktop m_desktop;
    TestFramework m_framework;
    System* m_system = nullptr;
    ServerPingService* m_ping = nullptr;
    UserStateChangeService* m_userState = nullptr;
};

constexpr int Phone = ServerStatusUpdateServiceBase::PhoneApplicationID;

TEST_F(PhoneCallOverrideTest, WithoutTheOverrideACallAtTheKeyboardReportsTheApplication)
{
    m_userState->onPhoneCall(L"Suppliers");
    m_framework.drain();
    ASSERT_TRUE(m_system->getUserStatus().onPhone());

    const Msg status = currentStatus();
    EXPECT_EQ(Msg::APPLICATION_CHANGE, status.getType());
    EXPECT_NE(Phone, number(status, L"ApplicationID"));
    EXPECT_EQ(L"writer.exe", text(status, L"FilePath").substr(text(status, L"FilePath").size() - 10));
}

TEST_F(PhoneCallOverrideTest, TheServersProfileReachesTheRegistryAndTurnsTheCallIntoTheStatus)
{
    m_userState->onPhoneCall(L"Suppliers");
    m_framework.drain();
    ASSERT_NE(Phone, number(currentStatus(), L"ApplicationID"));

    serverSendsProfile(1);
    EXPECT_EQ(1, storedOverride());
    EXPECT_TRUE(m_system->getTavelinSessionDetails().getClientProfile().overrideActivityWhenOnPhone());
    // What the next start reads.
    EXPECT_TRUE(ClientProfile(m_key.path()).overrideActivityWhenOnPhone());

    // The user is still at the keyboard, with the writer in front.
    ASSERT_FALSE(m_system->getUserStatus().idle());
    ASSERT_FALSE(m_system->getUserStatus().locked());
    const Msg status = currentStatus();
    EXPECT_EQ(Msg::APPLICATION_CHANGE, status.getType());
    EXPECT_EQ(Phone, number(status, L"ApplicationID"));
    EXPECT_EQ(L"Suppliers", text(status, L"ContextString1"));

    // A new call is reported as such by the status updates themselves.
    m_userState->stopPhoneCall();
    m_framework.drain();
    m_framework.http().clearSent();
    m_userState->onPhoneCall(L"Bank");
    m_framework.drain();
    const Msg update = lastStatusUpdate();
    EXPECT_EQ(Phone, number(update, L"ApplicationID"));
    EXPECT_EQ(L"Bank", text(update, L"ContextString1"));
}

TEST_F(PhoneCallOverrideTest, AProfileWithoutTheOverrideTakesItBack)
{
    serverSendsProfile(1);
    m_userState->onPhoneCall(L"Suppliers");
    m_framework.drain();
    ASSERT_EQ(Phone, number(currentStatus(), L"ApplicationID"));

    serverSendsProfile(0);
    EXPECT_EQ(0, storedOverride());
    EXPECT_FALSE(ClientProfile(m_key.path()).overrideActivityWhenOnPhone());
    const Msg status = currentStatus();
    EXPECT_EQ(Msg::APPLICATION_CHANGE, status.getType());
    EXPECT_NE(Phone, number(status, L"ApplicationID"));
}

} // namespace
