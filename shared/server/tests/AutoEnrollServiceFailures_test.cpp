// What ends or disables an enrollment: time-outs, failed logons, refusals,
// incomplete answers and unknown states.
#include <gtest/gtest.h>

#include "AutoEnrollFixture.h"

using namespace enrolltest;

namespace {

TEST_F(AutoEnrollServiceTest, AnUnansweredRequestTimesOut)
{
    enrollUpToTheRequest();
    m_clock.advance(20);
    tick();
    EXPECT_EQ(State::Disabled, m_service->getState());
    const testsupport::CapturedEvent timeOut = m_events.find(1063710);
    EXPECT_NE(std::wstring::npos, timeOut.details.find(L"AutoEnrollment State:AwaitingResponse"));
    EXPECT_EQ(L"", session().getUserPassword()) << "the enrollment password leaves the session";
    EXPECT_EQ(1u, m_logon.logOffCount());
}

TEST_F(AutoEnrollServiceTest, AFailedEnrollmentLogonDisablesIt)
{
    configure();
    start();
    tick();
    m_logon.fail(Error::ResolveFailed);
    m_framework.drain();
    EXPECT_EQ(State::Disabled, m_service->getState());
    ASSERT_EQ(1u, m_events.count(1063709));
    EXPECT_EQ(1, m_events.find(1063709).type);
    EXPECT_FALSE(session().isInAutoEnrollMode());
}

TEST_F(AutoEnrollServiceTest, TwoAuthenticationFailuresGiveOneAttempt)
{
    configure();
    // The user's saved password is refused after the first tick found
    // enrollment unnecessary.
    session().setUserName(L"jane.smith@example.org");
    session().setUserPassword(L"stale");
    start();
    tick();
    ASSERT_EQ(State::Disabled, m_service->getState());
    m_logon.logOn(L"jane.smith@example.org", L"stale");
    m_logon.fail(Error::AuthenticationFailed);
    m_framework.drain();

    EXPECT_EQ(State::Waiting, m_service->getState());
    EXPECT_EQ(3u, m_service->timer().getDelay()) << "checks again almost at once";
    EXPECT_EQ(L"", session().getUserPassword());
    EXPECT_EQ(1u, m_logon.logOffCount());
    tick();
    EXPECT_EQ(State::LoggingOn, m_service->getState());
    EXPECT_EQ(5000u, m_service->timer().getDelay());
    EXPECT_EQ(EnrollmentName, m_logon.calls.back().userName);

    // The enrollment account is refused as well: that ends it.
    m_logon.fail(Error::AuthenticationFailed);
    m_framework.drain();
    EXPECT_EQ(State::Disabled, m_service->getState());
    const size_t calls = m_logon.calls.size();
    m_logon.logOn(L"jane.smith@example.org", L"stale again");
    m_logon.fail(Error::AuthenticationFailed);
    m_framework.drain();
    EXPECT_EQ(State::Disabled, m_service->getState());
    EXPECT_EQ(calls + 1, m_logon.calls.size()) << "only the test's own logon";
    Msg status = statusChange();
    EXPECT_FALSE(m_service->canProcessMsg(status));

    // Once per process: a new service object does not try again either.
    AutoEnrollProbe again(m_system, m_logon, m_clock, m_key.path());
    again.setApplicationFramework(&m_framework);
    again.setup();
    again.setState(State::Disabled);
    Msg failure = statusChange();
    failure.setAttributeValue(L"ConnectionStatus", static_cast<int>(Status::ConnectionError));
    EXPECT_FALSE(again.canProcessMsg(failure));
    again.setState(State::AwaitingResponse);
    again.processMsg(failure);
    EXPECT_EQ(State::AwaitingResponse, again.getState());
}

TEST_F(AutoEnrollServiceTest, ARefusalWhileWaitingStartsTheAttemptToo)
{
    configure();
    start();
    session().setUserName(L"jane.smith@example.org");
    session().setUserPassword(L"stale");
    m_logon.logOn(L"jane.smith@example.org", L"stale");
    m_logon.fail(Error::AuthenticationFailed);
    m_framework.drain();
    EXPECT_EQ(3u, m_service->timer().getDelay());
    tick();
    EXPECT_EQ(State::LoggingOn, m_service->getState());
}

TEST_F(AutoEnrollServiceTest, OtherFailuresStartNoAttempt)
{
    configure();
    session().setUserPassword(L"saved");
    start();
    tick();
    for (Error error :
         {Error::ConnectFailed, Error::ConnectTimedOut, Error::LogOnProcessFailed,
          Error::SecureSessionFailed, Error::ClientAppTooOld, Error::AccountSuspended}) {
        m_logon.fail(error);
        m_framework.drain();
        EXPECT_EQ(State::Disabled, m_service->getState()) << static_cast<int>(error);
    }
    EXPECT_EQ(L"saved", session().getUserPassword());
    EXPECT_EQ(0u, m_logon.logOffCount());
}

TEST_F(AutoEnrollServiceTest, IncompleteOrRefusedAnswersDisableIt)
{
    struct Case {
        const wchar_t* result;
        const wchar_t* userName;
        const wchar_t* password;
        uint32_t event;
    };
    const Case cases[] = {
        {L"", nullptr, nullptr, 1063704},
        {L"Success", L"jane", nullptr, 1063706},
        {L"Success", nullptr, L"pw", 1063706},
        {L"Refused", nullptr, nullptr, 1063708},
    };
    configure();
    start();
    for (const Case& c : cases) {
        AutoEnrollProbe::forgetThisProcess();
        m_events.clear();
        m_logon.calls.clear();
        session().reset();
        m_service->setState(State::Waiting);
        tick();
        ASSERT_EQ(State::LoggingOn, m_service->getState());
        m_logon.succeed(7001);
        m_framework.drain();
        answer(c.result, c.userName, c.password);
        EXPECT_EQ(State::Disabled, m_service->getState()) << c.event;
        EXPECT_EQ(1u, m_events.count(c.event));
        EXPECT_EQ(0u, m_events.count(1063707));
        EXPECT_EQ(1u, m_logon.logOnCount()) << "no logon after the enrollment's own";
        EXPECT_EQ(1u, m_logon.logOffCount());
    }
    const testsupport::CapturedEvent refused = m_events.find(1063708);
    EXPECT_EQ(L"AutoEnrollment failed", refused.description);
    EXPECT_NE(std::wstring::npos, refused.details.find(L"Result:Refused"));
}

TEST_F(AutoEnrollServiceTest, UnknownStatesActAsDisabled)
{
    configure();
    start();
    m_service->setState(static_cast<State>(9));
    EXPECT_EQ(State::Disabled, m_service->getState());
    EXPECT_FALSE(m_service->timer().isArmed());
    EXPECT_EQ(L"Disabled", AutoEnrollService::getStateDescription(9));
    EXPECT_EQ(L"Pending", AutoEnrollService::getStateDescription(4));
    EXPECT_EQ(L"AwaitingResponse", AutoEnrollService::getStateDescription(3));
}

} // namespace
