#include <gtest/gtest.h>

#include <cwchar>
#include <cwctype>
#include <string>

#include "ServiceTestSupport.h"
#include "base/Registry.h"
#include "shared/framework/Clock.h"
#include "shared/server/AutoEnrollService.h"
#include "shared/server/Base64Device.h"
#include "base/File.h"
#include "shared/server/HttpCommDevice.h"
#include "shared/server/SecurityDevice.h"
#include "shared/server/ServerLogonService.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using namespace servertest;
using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;
using State = AutoEnrollService::AutoEnrollState;

const int OrganisationId = 42;
const wchar_t EnrollmentName[] = L"autoenroll@42.org";
const wchar_t EnrollmentPassword[] = L"org-secret-9";

class AutoEnrollProbe : public AutoEnrollService {
public:
    using AutoEnrollService::AutoEnrollService;
    static void forgetThisProcess() { s_authFailureAttemptMade = false; }
    const SimpleTimer& timer() const { return m_timer; }
    using AutoEnrollService::setState;
    bool ready = true;

protected:
    bool userDetailsReady() const override { return ready; }
};

class AutoEnrollServiceTest : public ::testing::Test {
protected:
    AutoEnrollServiceTest()
    {
        AutoEnrollProbe::forgetThisProcess();
        m_system.setUserDetails(directoryUser(1));
    }
    ~AutoEnrollServiceTest() override { AutoEnrollProbe::forgetThisProcess(); }

    void configure(int id = OrganisationId, const std::wstring& password = EnrollmentPassword)
    {
        ASSERT_TRUE(m_machine.write(L"OrganisationID", id));
        ASSERT_TRUE(m_machine.write(L"OrganisationToken",
                                    AutoEnrollService::makeOrganisationToken(id, password)));
    }

    AutoEnrollProbe* start()
    {
        m_service = m_framework.add(new AutoEnrollProbe(m_system, m_logon, m_clock, m_key.path()));
        m_framework.setup();
        return m_service;
    }

    TavelinSessionDetails& session() { return m_system.getTavelinSessionDetails(); }

    // The service's timer fires.
    void tick()
    {
        m_service->onTimer();
        m_framework.drain();
    }

    // From a fresh start up to the request sent under the enrollment account.
    void enrollUpToTheRequest()
    {
        configure();
        start();
        tick();
        ASSERT_EQ(State::LoggingOn, m_service->getState());
        m_logon.succeed(7001);
        m_framework.drain();
        ASSERT_EQ(State::AwaitingResponse, m_service->getState());
    }

    void answer(const std::wstring& result, const wchar_t* userName = nullptr,
                const wchar_t* password = nullptr)
    {
        Msg* msg = new Msg();
        msg->setType(Msg::AUTO_ENROLL_RESPONSE);
        if (!result.empty())
            msg->setAttributeValue(L"AutoEnrollmentResult", result);
        if (userName)
            msg->setAttributeValue(L"TavelUsername", std::wstring(userName));
        if (password)
            msg->setAttributeValue(L"UserPassword", std::wstring(password));
        m_framework.http().deliver(msg);
        m_framework.drain();
    }

    static Msg statusChange()
    {
        Msg msg;
        msg.setType(Msg::CONNECTION_STATUS_CHANGE);
        return msg;
    }
    static Msg response()
    {
        Msg msg;
        msg.setType(Msg::AUTO_ENROLL_RESPONSE);
        return msg;
    }

    testsupport::EventRecorder m_events;
    testsupport::TestKey m_key{L"AutoEnrollService", Registry::LocalMachine};
    Registry m_machine{Registry::LocalMachine, m_key.path()};
    ManualClock m_clock;
    TestSystem m_system{m_clock};
    TestFramework m_framework;
    FakeLogon m_logon{m_system, m_framework};
    AutoEnrollProbe* m_service = nullptr;
};

TEST_F(AutoEnrollServiceTest, EnrollmentNamesAreRecognised)
{
    EXPECT_EQ(L"autoenroll@42.org", AutoEnrollService::enrollmentUserName(42));
    EXPECT_TRUE(AutoEnrollService::isAutoEnrollUserName(L"autoenroll@42.org"));
    EXPECT_TRUE(AutoEnrollService::isAutoEnrollUserName(L"x-autoenroll@7.organisation"));
    EXPECT_FALSE(AutoEnrollService::isAutoEnrollUserName(L"jane.smith@example.org"));
    EXPECT_FALSE(AutoEnrollService::isAutoEnrollUserName(L"autoenroll@42.com"));
    EXPECT_FALSE(AutoEnrollService::isAutoEnrollUserName(L"AUTOENROLL@42.ORG"));
    EXPECT_FALSE(AutoEnrollService::isAutoEnrollUserName(L""));
}

// The token as the layout describes it: Base64 of the password encrypted
// under the enrollment user name; decoded here step by step.
TEST_F(AutoEnrollServiceTest, TheTokenIsTheEncryptedPasswordInBase64)
{
    const std::wstring token = AutoEnrollService::makeOrganisationToken(42, EnrollmentPassword);
    ASSERT_FALSE(token.empty());
    for (wchar_t c : token)
        EXPECT_TRUE(iswalnum(c) || c == L'+' || c == L'/' || c == L'=');
    ByteArray encrypted;
    Base64Device::unBase64Data(token, encrypted);
    EXPECT_EQ(0, encrypted.getSize() % 16);
    EXPECT_EQ(std::wstring(EnrollmentPassword),
              SecurityDevice::decryptString(encrypted, L"autoenroll@42.org"));
}

TEST_F(AutoEnrollServiceTest, WithoutOrganisationIdItIsDisabledAndIgnoresEveryMessage)
{
    ASSERT_TRUE(m_machine.write(L"OrganisationToken",
                                AutoEnrollService::makeOrganisationToken(0, EnrollmentPassword)));
    start();
    EXPECT_EQ(1u, m_events.count(1063711));
    EXPECT_EQ(L"AutoEnrollment disabled", m_events.find(1063711).description);
    EXPECT_EQ(State::Disabled, m_service->getState());
    EXPECT_FALSE(m_service->timer().isArmed());
    Msg status = statusChange();
    Msg reply = response();
    EXPECT_FALSE(m_service->canProcessMsg(status));
    EXPECT_FALSE(m_service->canProcessMsg(reply));

    // Not even a refused logon wakes it.
    m_logon.logOn(L"jane", L"wrong");
    m_logon.fail(Error::AuthenticationFailed);
    m_framework.drain();
    EXPECT_EQ(State::Disabled, m_service->getState());
    EXPECT_EQ(1u, m_logon.calls.size());
}

TEST_F(AutoEnrollServiceTest, ATokenThatCannotBeReadDisablesItAtStart)
{
    ASSERT_TRUE(m_machine.write(L"OrganisationID", OrganisationId));
    for (const wchar_t* token : {L"", L"not base64!", L"QUJD" /* 3 bytes, no whole block */}) {
        ASSERT_TRUE(m_machine.write(L"OrganisationToken", token));
        AutoEnrollProbe service(m_system, m_logon, m_clock, m_key.path());
        service.setup();
        EXPECT_EQ(State::Disabled, service.getState()) << std::string(token, token + wcslen(token));
    }
    EXPECT_EQ(3u, m_events.count(1063711));
}

TEST_F(AutoEnrollServiceTest, ConfiguredItWaitsWithFiveSecondTicks)
{
    configure();
    start();
    EXPECT_EQ(0u, m_events.count(1063711));
    EXPECT_EQ(State::Waiting, m_service->getState());
    EXPECT_EQ(OrganisationId, m_service->getOrganisationID());
    EXPECT_EQ(EnrollmentName, m_service->getEnrollmentUserName());
    EXPECT_TRUE(m_service->timer().isArmed());
    EXPECT_EQ(5000u, m_service->timer().getDelay());
    EXPECT_EQ(Timer::Repeating, m_service->timer().getType());
    EXPECT_FALSE(session().isInAutoEnrollMode());
    Msg status = statusChange();
    Msg reply = response();
    EXPECT_TRUE(m_service->canProcessMsg(status));
    EXPECT_TRUE(m_service->canProcessMsg(reply));
}

TEST_F(AutoEnrollServiceTest, SavedCredentialsMakeItUnnecessaryOnTheFirstTick)
{
    configure();
    // As the connection manager leaves the session after reading the saved
    // sign-in, before its logon has been answered.
    session().setUserName(L"jane.smith@example.org");
    session().setUserPassword(L"saved");
    start();
    tick();
    EXPECT_EQ(State::Disabled, m_service->getState());
    EXPECT_FALSE(m_service->timer().isArmed());
    EXPECT_TRUE(m_logon.calls.empty());
    EXPECT_EQ(L"saved", session().getUserPassword());
}

TEST_F(AutoEnrollServiceTest, ALogonUnderWayMakesItUnnecessary)
{
    configure();
    start();
    for (Status status : {Status::ProxyWizardRunning, Status::Connecting, Status::Authenticating,
                          Status::Connected}) {
        m_service->setState(State::Waiting);
        session().setConnectionStatus(status);
        m_service->onTimer();
        EXPECT_EQ(State::Disabled, m_service->getState()) << static_cast<int>(status);
    }
    EXPECT_TRUE(m_logon.calls.empty());
}

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
