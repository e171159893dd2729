// The connection manager: saved credentials, the retries after a failed
// logon and their back-off, and the reconnection texts.
#include <gtest/gtest.h>

#include "LogonFixture.h"

using namespace logontest;

namespace {

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
    announceStatus();
    EXPECT_EQ(Registry(Registry::CurrentUser, m_signIn.path()).read(L"Username", L"none"), L"none");

    // Only names with both marks are the organisation's: this one is the
    // user's own and is saved.
    session().setUserName(L"autoenroll@example.com");
    announceStatus();
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
        failWith(Error::ConnectFailed);
        delays.push_back(m_manager->getNextLogonTime() - m_clock.now());
    }
    EXPECT_EQ(delays, (std::vector<int64_t>{30, 30, 60, 60, 310, 310, 610, 610, 610, 610, 610}));
    // A different problem has its own count.
    session().setConnectionError(Error::AccountSuspended);
    announceStatus();
    EXPECT_EQ(m_manager->getNextLogonTime() - m_clock.now(), 30);
    // A success does not reset the counts; a day does.
    session().setConnectionStatus(Status::Connected);
    announceStatus();
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
    failWith(Error::NotSet);
    EXPECT_EQ(m_manager->getNextLogonTime(), 0);
    EXPECT_FALSE(m_manager->timer().isArmed());
}

TEST_F(LogonTest, ReconnectionTextsCountDown)
{
    addManager();
    failWith(Error::ConnectFailed); // in 30 s
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

} // namespace
