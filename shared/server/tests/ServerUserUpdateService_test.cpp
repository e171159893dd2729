#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "ServiceTestSupport.h"
#include "shared/framework/Clock.h"
#include "shared/server/ServerUserUpdateService.h"
#include "testsupport/EventCapture.h"

namespace {

using namespace servertest;
using Status = TavelinSessionDetails::ConnectionStatus;

// The service with its process-wide memory cleared, its timer in view and
// the directory lookup held back at will.
class UserUpdateProbe : public ServerUserUpdateService {
public:
    using ServerUserUpdateService::ServerUserUpdateService;
    static void forgetThisProcess()
    {
        s_detailsTraced = false;
        s_updateSent = false;
    }
    const SimpleTimer& timer() const { return m_timer; }
    bool ready = true;

protected:
    bool userDetailsReady() const override { return ready; }
};

class ServerUserUpdateServiceTest : public ::testing::Test {
protected:
    ServerUserUpdateServiceTest() { UserUpdateProbe::forgetThisProcess(); }
    ~ServerUserUpdateServiceTest() override { UserUpdateProbe::forgetThisProcess(); }

    void logOn(int userId = 812)
    {
        TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
        session.setUserID(userId);
        session.setUserName(L"jane.smith@example.org");
        session.setUserPassword(L"secret");
        session.setConnectionStatus(Status::Connected);
    }

    // One tick, and whatever it sent delivered.
    void tick(UserUpdateProbe* service)
    {
        service->onTimer();
        m_framework.drain();
    }

    testsupport::EventRecorder m_events;
    ManualClock m_clock;
    TestSystem m_system{m_clock};
    TestFramework m_framework;
};

TEST_F(ServerUserUpdateServiceTest, SetupStartsAFiveSecondRepeatingTimer)
{
    auto* service = m_framework.add(new UserUpdateProbe(m_system));
    Msg anything;
    anything.setType(Msg::CONNECTION_STATUS_CHANGE);
    EXPECT_FALSE(service->canProcessMsg(anything));
    EXPECT_FALSE(service->timer().isArmed());
    ASSERT_TRUE(m_framework.setup());
    EXPECT_TRUE(service->timer().isArmed());
    EXPECT_EQ(5000u, service->timer().getDelay());
    EXPECT_EQ(Timer::Repeating, service->timer().getType());
}

TEST_F(ServerUserUpdateServiceTest, TwentyFiveGroupsAreSentAsZeroToNineteen)
{
    m_system.setUserDetails(directoryUser(25));
    logOn(812);
    auto* service = m_framework.add(new UserUpdateProbe(m_system));
    ASSERT_TRUE(m_framework.setup());
    tick(service);

    const std::vector<Msg> sent = m_framework.http().sentOfType(Msg::USER_INFO_UPDATE);
    ASSERT_EQ(1u, sent.size());
    const Msg& msg = sent[0];
    for (int i = 0; i < 20; ++i) {
        const std::wstring n = std::to_wstring(i);
        // The directory's "CN=" is cut off, as ADGroup does.
        EXPECT_EQ(L"Group " + n + L",OU=Groups", text(msg, (L"ADGroupName_" + n).c_str()));
        EXPECT_EQ(L"{guid-" + n + L"}", text(msg, (L"ADGroupGUID_" + n).c_str()));
    }
    for (int i = 20; i < 25; ++i) {
        const std::wstring n = std::to_wstring(i);
        EXPECT_FALSE(msg.containsStringAttribute(L"ADGroupName_" + n)) << i;
        EXPECT_FALSE(msg.containsStringAttribute(L"ADGroupGUID_" + n)) << i;
    }
    // 13 detail strings, 2 x 20 group strings, user name and e-mail.
    EXPECT_EQ(13 + 40 + 2, msg.getStringAttributeCount());
    EXPECT_EQ(L"jsmith", text(msg, L"WindowsUserName"));
    EXPECT_EQ(L"EXAMPLE", text(msg, L"UserDomain"));
    EXPECT_EQ(L"S-1-5-21-1004336348-1177238915-682003330-1001", text(msg, L"SID"));
    EXPECT_EQ(L"Jane", text(msg, L"FirstName"));
    EXPECT_EQ(L"Smith", text(msg, L"SurName"));
    EXPECT_EQ(L"Smith, Jane", text(msg, L"DisplayName"));
    EXPECT_EQ(L"Dr", text(msg, L"NamePrefix"));
    EXPECT_EQ(L"Analyst", text(msg, L"JobTitle"));
    EXPECT_EQ(L"S-1-5-21-1004336348-1177238915-682003330-1107", text(msg, L"ManagerSID"));
    EXPECT_EQ(L"Research", text(msg, L"Department"));
    EXPECT_EQ(L"Science", text(msg, L"Division"));
    EXPECT_EQ(L"+44 20 7946 0000", text(msg, L"TelephoneNumber"));
    EXPECT_EQ(L"+44 7700 900000", text(msg, L"MobileNumber"));
    EXPECT_EQ(812, number(msg, L"UserID"));
    EXPECT_EQ(L"jane.smith@example.org", text(msg, L"TavelUsername"));
    EXPECT_EQ(L"jane.smith@example.org", text(msg, L"EmailAddress"));

    const testsupport::CapturedEvent sentEvent = m_events.find(1063401);
    EXPECT_EQ(L"Msg To Server:", sentEvent.description);
    EXPECT_NE(std::wstring::npos, sentEvent.details.find(L"MsgType:UserInfoUpdate"))
        << std::string(sentEvent.details.begin(), sentEvent.details.end());
}

TEST_F(ServerUserUpdateServiceTest, NothingBeforeLogonThenExactlyOneUpdatePerProcess)
{
    m_system.setUserDetails(directoryUser(2));
    auto* service = m_framework.add(new UserUpdateProbe(m_system));
    ASSERT_TRUE(m_framework.setup());

    for (Status status : {Status::NotConnected, Status::Connecting, Status::Authenticating,
                          Status::ConnectionError}) {
        m_system.getTavelinSessionDetails().setConnectionStatus(status);
        tick(service);
    }
    EXPECT_TRUE(m_framework.http().sent().empty());
    EXPECT_TRUE(service->timer().isArmed()) << "keeps ticking until it can send";
    EXPECT_FALSE(ServerUserUpdateService::hasUpdateBeenSent());

    logOn();
    tick(service);
    EXPECT_EQ(1u, m_framework.http().sentOfType(Msg::USER_INFO_UPDATE).size());
    EXPECT_FALSE(service->timer().isArmed()) << "the timer stops once sent";
    EXPECT_TRUE(ServerUserUpdateService::hasUpdateBeenSent());

    // A later logon, or another service object of this process, sends
    // nothing more.
    m_system.getTavelinSessionDetails().setConnectionStatus(Status::ConnectionError);
    tick(service);
    logOn(813);
    tick(service);
    auto* second = m_framework.add(new UserUpdateProbe(m_system));
    second->setup();
    tick(second);
    EXPECT_EQ(1u, m_framework.http().sent().size());
    EXPECT_EQ(1u, m_events.count(1063401));
}

TEST_F(ServerUserUpdateServiceTest, HeldBackWhileTheSessionIsTheEnrollmentAccount)
{
    m_system.setUserDetails(directoryUser(0));
    logOn(5);
    m_system.getTavelinSessionDetails().setInAutoEnrollMode(true);
    auto* service = m_framework.add(new UserUpdateProbe(m_system));
    ASSERT_TRUE(m_framework.setup());
    tick(service);
    tick(service);
    EXPECT_TRUE(m_framework.http().sent().empty());

    m_system.getTavelinSessionDetails().setInAutoEnrollMode(false);
    logOn(77);
    tick(service);
    const std::vector<Msg> sent = m_framework.http().sentOfType(Msg::USER_INFO_UPDATE);
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(77, number(sent[0], L"UserID"));
    EXPECT_FALSE(sent[0].containsStringAttribute(L"ADGroupName_0"));
}

TEST_F(ServerUserUpdateServiceTest, WaitsForTheDirectoryLookupAndTracesTheDetailsOnce)
{
    m_system.setUserDetails(directoryUser(2));
    logOn();
    auto* service = m_framework.add(new UserUpdateProbe(m_system));
    ASSERT_TRUE(m_framework.setup());
    service->ready = false;
    tick(service);
    tick(service);
    EXPECT_TRUE(m_framework.http().sent().empty());
    EXPECT_EQ(0u, m_events.count(1063402));
    EXPECT_TRUE(service->timer().isArmed());

    service->ready = true;
    tick(service);
    EXPECT_EQ(1u, m_framework.http().sent().size());
    tick(service);
    ASSERT_EQ(1u, m_events.count(1063402));
    const testsupport::CapturedEvent traced = m_events.find(1063402);
    EXPECT_EQ(L"User's Windows Details", traced.description);
    for (const wchar_t* detail :
         {L"Username:jsmith", L"Domain:EXAMPLE", L"DName:CN=Smith\\, Jane,OU=Staff",
          L"DisplayName:Smith, Jane", L"Email:jane.smith@example.org", L"NamePrefix:Dr",
          L"Title:Analyst", L"FirstName:Jane", L"LastName:Smith", L"Department:Research",
          L"Division:Science", L"MobileNumber:+44 7700 900000", L"ADGroupName:Group 1,OU=Groups",
          L"ADGroupGUID:{guid-1}", L"GUID:{6f1c2a9e"}) {
        EXPECT_NE(std::wstring::npos, traced.details.find(detail))
            << std::string(detail, detail + wcslen(detail));
    }
}

TEST_F(ServerUserUpdateServiceTest, DetailsAreTracedBeforeAnyLogon)
{
    m_system.setUserDetails(directoryUser(0));
    auto* service = m_framework.add(new UserUpdateProbe(m_system));
    ASSERT_TRUE(m_framework.setup());
    tick(service);
    tick(service);
    EXPECT_EQ(1u, m_events.count(1063402));
    EXPECT_EQ(0u, m_events.count(1063401));
}

} // namespace
