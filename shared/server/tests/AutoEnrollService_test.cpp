// The automatic enrollment at start: the enrollment names, the token, and
// when the service is disabled, waits or is not needed.
#include <gtest/gtest.h>

#include "AutoEnrollFixture.h"

using namespace enrolltest;

namespace {

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

} // namespace
