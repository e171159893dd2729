// The enrollment exchange: the organisation's logon, the request with the
// user's identity, the answers, the pending re-asks, and the real logon
// service driven by it.
#include <gtest/gtest.h>

#include "AutoEnrollFixture.h"

using namespace enrolltest;

namespace {

TEST_F(AutoEnrollServiceTest, WaitsForTheUserDetailsThenLogsOnAsTheOrganisation)
{
    configure();
    session().setConnectionStatus(Status::ConnectionError);
    session().setConnectionError(Error::LogOnProcessFailed);
    start();
    m_service->ready = false;
    tick();
    tick();
    EXPECT_EQ(2u, m_events.count(1063701));
    EXPECT_EQ(State::Waiting, m_service->getState());
    EXPECT_TRUE(m_logon.calls.empty());

    m_service->ready = true;
    tick();
    EXPECT_EQ(State::LoggingOn, m_service->getState());
    ASSERT_EQ(1u, m_logon.calls.size());
    EXPECT_EQ(L"logOn", m_logon.calls[0].what);
    EXPECT_EQ(EnrollmentName, m_logon.calls[0].userName);
    EXPECT_EQ(EnrollmentPassword, m_logon.calls[0].password);
    EXPECT_EQ(1u, m_events.count(1063702));
    EXPECT_TRUE(session().isInAutoEnrollMode());
    EXPECT_EQ(5000u, m_service->timer().getDelay());
}

TEST_F(AutoEnrollServiceTest, ConnectedSendsTheRequestWithTheUsersIdentity)
{
    m_clock.set(1800000000);
    enrollUpToTheRequest();
    const std::vector<Msg> sent = m_framework.http().sentOfType(Msg::AUTO_ENROLL_REQUEST);
    ASSERT_EQ(1u, sent.size());
    const Msg& request = sent[0];
    EXPECT_EQ(L"S-1-5-21-1004336348-1177238915-682003330-1001", text(request, L"SID"));
    EXPECT_EQ(L"{6f1c2a9e-0b7d-4c55-9a1e-3d2b8c4f5a60}", text(request, L"GUID"));
    EXPECT_EQ(L"jsmith", text(request, L"WindowsUserName"));
    EXPECT_EQ(L"EXAMPLE", text(request, L"UserDomain"));
    EXPECT_EQ(L"Smith, Jane", text(request, L"DisplayName"));
    EXPECT_EQ(L"jane.smith@example.org", text(request, L"EmailAddress"));
    EXPECT_EQ(OrganisationId, number(request, L"OrganisationID"));
    EXPECT_EQ(m_system.getMachineDetails().getIPAddress(), text(request, L"LocalIPAddress"));
    EXPECT_EQ(m_system.getMachineDetails().getMachineName(), text(request, L"MachineName"));
    EXPECT_EQ(7001, number(request, L"UserID"));
    EXPECT_EQ(EnrollmentName, text(request, L"TavelUsername"));
    EXPECT_EQ(1u, m_events.count(1063703));
    EXPECT_TRUE(session().isInAutoEnrollMode());
    EXPECT_EQ(1u, m_framework.http().sent().size()) << "the Connecting broadcast sent nothing";
}

TEST_F(AutoEnrollServiceTest, SuccessLogsOnWithTheReceivedCredentials)
{
    enrollUpToTheRequest();
    answer(L"Success", L"jane.smith@example.org", L"fresh-pw");
    EXPECT_EQ(State::Disabled, m_service->getState());
    EXPECT_FALSE(m_service->timer().isArmed());
    EXPECT_FALSE(session().isInAutoEnrollMode());
    EXPECT_EQ(1u, m_events.count(1063707));
    // The enrollment session is closed first, then the user's logon starts.
    ASSERT_EQ(3u, m_logon.calls.size());
    EXPECT_EQ(L"logOff", m_logon.calls[1].what);
    EXPECT_EQ(L"logOn", m_logon.calls[2].what);
    EXPECT_EQ(L"jane.smith@example.org", m_logon.calls[2].userName);
    EXPECT_EQ(L"fresh-pw", m_logon.calls[2].password);
    // Should this first logon fail, the connection manager's retry finds
    // the new credentials in the session.
    EXPECT_EQ(L"jane.smith@example.org", session().getUserName());
    EXPECT_EQ(L"fresh-pw", session().getUserPassword());
    EXPECT_FALSE(AutoEnrollService::isAutoEnrollUserName(session().getUserName()));

    m_logon.succeed(8123);
    m_framework.drain();
    EXPECT_EQ(State::Disabled, m_service->getState());
    EXPECT_EQ(3u, m_logon.calls.size());
}

TEST_F(AutoEnrollServiceTest, PendingAsksAgainEveryFiveMinutesUnderANewEnrollmentLogon)
{
    enrollUpToTheRequest();
    answer(L"AutoEnrollmentPending");
    EXPECT_EQ(State::Pending, m_service->getState());
    EXPECT_EQ(1u, m_events.count(1063705));
    EXPECT_EQ(300000u, m_service->timer().getDelay());
    EXPECT_EQ(Timer::Repeating, m_service->timer().getType());
    EXPECT_FALSE(session().isInAutoEnrollMode());
    EXPECT_EQ(L"", session().getUserPassword());
    EXPECT_EQ(Status::NotConnected, session().getConnectionStatus());
    EXPECT_EQ(1u, m_logon.logOffCount());

    for (int round = 2; round <= 3; ++round) {
        m_clock.advance(300);
        tick();
        EXPECT_EQ(State::LoggingOn, m_service->getState());
        EXPECT_EQ(static_cast<size_t>(round), m_logon.logOnCount());
        m_logon.succeed(7001);
        m_framework.drain();
        EXPECT_EQ(static_cast<size_t>(round),
                  m_framework.http().sentOfType(Msg::AUTO_ENROLL_REQUEST).size());
        if (round == 2)
            answer(L"AutoEnrollmentPending");
    }
    EXPECT_EQ(2u, m_events.count(1063705));
    answer(L"Success", L"jane.smith@example.org", L"approved");
    EXPECT_EQ(State::Disabled, m_service->getState());
    EXPECT_EQ(L"jane.smith@example.org", m_logon.calls.back().userName);
    EXPECT_EQ(L"approved", m_logon.calls.back().password);
}

TEST_F(AutoEnrollServiceTest, AFailedReSendWaitsForTheNextFiveMinutes)
{
    enrollUpToTheRequest();
    answer(L"AutoEnrollmentPending");
    m_clock.advance(300);
    tick();
    m_logon.fail(Error::ConnectFailed);
    m_framework.drain();
    EXPECT_EQ(1u, m_events.count(1063709));
    EXPECT_EQ(State::Pending, m_service->getState());
    EXPECT_EQ(300000u, m_service->timer().getDelay());

    // So does a re-send that gets no answer.
    m_clock.advance(300);
    tick();
    m_logon.succeed(7001);
    m_framework.drain();
    ASSERT_EQ(State::AwaitingResponse, m_service->getState());
    m_clock.advance(16);
    tick();
    EXPECT_EQ(1u, m_events.count(1063710));
    EXPECT_EQ(State::Pending, m_service->getState());
}

TEST_F(AutoEnrollServiceTest, AUserWhoSignedInMeanwhileEndsThePendingEnrollment)
{
    enrollUpToTheRequest();
    answer(L"AutoEnrollmentPending");
    session().setUserPassword(L"typed-in");
    session().setConnectionStatus(Status::Connected);
    const size_t logOns = m_logon.logOnCount();
    m_clock.advance(300);
    tick();
    EXPECT_EQ(State::Disabled, m_service->getState());
    EXPECT_EQ(logOns, m_logon.logOnCount());
}

TEST_F(AutoEnrollServiceTest, TheEnrollmentLogonTimesOutAfterFifteenSeconds)
{
    configure();
    start();
    tick();
    ASSERT_EQ(State::LoggingOn, m_service->getState());
    m_clock.advance(10);
    tick();
    m_clock.advance(5);
    tick();
    EXPECT_EQ(State::LoggingOn, m_service->getState()) << "15 s is not more than 15 s";
    EXPECT_EQ(0u, m_events.count(1063710));

    m_clock.advance(1);
    tick();
    EXPECT_EQ(State::Disabled, m_service->getState());
    ASSERT_EQ(1u, m_events.count(1063710));
    const testsupport::CapturedEvent timeOut = m_events.find(1063710);
    EXPECT_EQ(L"AutoEnrollment TimeOut", timeOut.description);
    EXPECT_EQ(1, timeOut.type); // Error
    EXPECT_NE(std::wstring::npos, timeOut.details.find(L"AutoEnrollment State:LoggingOn"));
    EXPECT_NE(std::wstring::npos, timeOut.details.find(L"Elapsed Seconds: 16"));
    EXPECT_EQ(1u, m_logon.logOffCount());
    EXPECT_EQ(Status::NotConnected, session().getConnectionStatus());
    EXPECT_FALSE(session().isInAutoEnrollMode());
    EXPECT_FALSE(m_service->timer().isArmed());
}

// With the client's own logon service: the enrollment logon is the
// challenge request of the organisation's account, and closing the session
// leaves it NotConnected.
TEST_F(AutoEnrollServiceTest, DrivesTheClientsLogonService)
{
    configure();
    testsupport::TestKey servers(L"AutoEnrollServers", Registry::LocalMachine);
    Registry serverList(Registry::LocalMachine, servers.path());
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(serverList.write(L"server." + std::to_wstring(i) + L".host", L"127.0.0.1"));
        ASSERT_TRUE(serverList.write(L"server." + std::to_wstring(i) + L".port", 9));
    }
    const std::wstring queue = testsupport::uniqueName(L"enrollq") + L".dat";
    {
        // The device only takes the connection settings here; what the
        // logon sends goes to the framework's recording device.
        HttpCommDevice device(m_system, m_clock, queue);
        auto* logon = m_framework.add(new ServerLogonService(m_system, device, servers.path()));
        auto* service =
            m_framework.add(new AutoEnrollService(m_system, *logon, m_clock, m_key.path()));
        m_framework.setup();
        service->onTimer();
        m_framework.drain();
        EXPECT_EQ(State::LoggingOn, service->getState());
        const std::vector<Msg> challenge = m_framework.http().sentOfType(Msg::CHALLENGE_REQUEST);
        ASSERT_EQ(1u, challenge.size());
        EXPECT_EQ(EnrollmentName, text(challenge[0], L"TavelUsername"));
        EXPECT_EQ(Status::Connecting, session().getConnectionStatus());

        m_clock.advance(16);
        service->onTimer();
        m_framework.drain();
        EXPECT_EQ(State::Disabled, service->getState());
        EXPECT_EQ(Status::NotConnected, session().getConnectionStatus());
        EXPECT_EQ(1u, m_events.count(1063710));
    }
    testsupport::removeFile(File::getTempPath() + File::Separator + queue);
}

} // namespace
