#include "client/MessageOfTheDay.h"

#include <gtest/gtest.h>

#include "shared/server/TavelinSessionDetails.h"
#include "testsupport/TestSupport.h"

namespace {

using Status = TavelinSessionDetails::ConnectionStatus;

class MessageOfTheDayTest : public ::testing::Test {
protected:
    testsupport::TestKey key{L"Motd"};
    Registry registry{Registry::CurrentUser, key.path()};
    TavelinSessionDetails session;
};

TEST_F(MessageOfTheDayTest, ShownOnceWhenLoggedOnAndStored)
{
    MessageOfTheDay motd(registry);
    EXPECT_EQ(L"", motd.check(session, L"Welcome"));
    EXPECT_FALSE(motd.checked());
    session.setConnectionStatus(Status::Connected);
    EXPECT_EQ(L"Welcome", motd.check(session, L"Welcome"));
    EXPECT_EQ(L"Welcome", registry.read(L"MOTD", L""));
    EXPECT_EQ(L"", motd.check(session, L"Another"));
}

TEST_F(MessageOfTheDayTest, AMessageEqualToTheStoredOneIsNotShownAgain)
{
    registry.write(L"MOTD", L"Welcome");
    session.setConnectionStatus(Status::Connected);
    MessageOfTheDay motd(registry);
    EXPECT_EQ(L"", motd.check(session, L"Welcome"));
    EXPECT_TRUE(motd.checked());
    // The run's one check is spent even though nothing was shown.
    EXPECT_EQ(L"", motd.check(session, L"Different"));
}

TEST_F(MessageOfTheDayTest, AutomaticEnrollmentAndEmptyMessagesShowNothing)
{
    session.setConnectionStatus(Status::Connected);
    session.setInAutoEnrollMode(true);
    MessageOfTheDay motd(registry);
    EXPECT_EQ(L"", motd.check(session, L"Welcome"));
    EXPECT_FALSE(motd.checked());
    session.setInAutoEnrollMode(false);
    EXPECT_EQ(L"", motd.check(session, L""));
    EXPECT_TRUE(motd.checked());
    EXPECT_EQ(L"", registry.read(L"MOTD", L""));
}

} // namespace
