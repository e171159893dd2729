// The idle monitor on a scripted desktop whose clock the test moves: the
// three-minute threshold, the shorter one during a call or a meeting, the
// wrap of the tick count, and a failing input query.
#include <gtest/gtest.h>

#include <vector>

#include "PresenceFixture.h"
#include "shared/monitoring/IdleUserMonitorService.h"

namespace {

using Ids = std::vector<int>;

class IdleUserMonitorServiceTest : public montest::PresenceTest {
protected:
    IdleUserMonitorService* m_idle = start(new IdleUserMonitorService(system()));
};

TEST_F(IdleUserMonitorServiceTest, TakesNoMessages)
{
    Msg msg;
    msg.setType(Msg::SYSTEM_CHANGE_SERVICE);
    EXPECT_FALSE(m_idle->canProcessMsg(msg));
    EXPECT_FALSE(m_idle->processMsg(msg));
}

TEST_F(IdleUserMonitorServiceTest, ThreeMinutesWithoutInputIsStillActiveAndJustOverIsIdle)
{
    run(179000);
    EXPECT_EQ(Ids{}, sent()) << "179 s without input";
    run(1000);
    EXPECT_EQ(Ids{}, sent()) << "exactly 180 s is not over the threshold";
    run(1000);
    EXPECT_EQ(Ids{4}, sent()) << "181 s";
    EXPECT_TRUE(status().idle()) << "the system change service applied it";
    EXPECT_FALSE(m_idle->isUserActive());
    run(3600000);
    EXPECT_EQ(Ids{4}, sent()) << "only the change is reported";

    m_desktop.userInput();
    run(500);
    EXPECT_EQ((Ids{4, 5}), sent()) << "the next input";
    EXPECT_FALSE(status().idle());
    run(60000);
    EXPECT_EQ((Ids{4, 5}), sent());
}

TEST_F(IdleUserMonitorServiceTest, NothingIsSentWhileTheUserKeepsWorking)
{
    for (int minute = 0; minute < 60; ++minute) {
        run(60000);
        m_desktop.userInput();
    }
    EXPECT_EQ(Ids{}, sent());
    EXPECT_TRUE(m_idle->isUserActive());
}

TEST_F(IdleUserMonitorServiceTest, AtAMeetingSixteenSecondsWithoutInputAreIdle)
{
    declare(6, 3600); // a meeting
    m_desktop.userInput();
    run(15000);
    EXPECT_EQ(Ids{}, sent()) << "15 s is not over the shorter threshold";
    run(1000);
    EXPECT_EQ(Ids{4}, sent()) << "16 s at a meeting";
    EXPECT_TRUE(status().idle());
}

TEST_F(IdleUserMonitorServiceTest, OnThePhoneSixteenSecondsWithoutInputAreIdle)
{
    declare(7); // a phone call
    m_desktop.userInput();
    run(16000);
    EXPECT_EQ(Ids{4}, sent());
}

TEST_F(IdleUserMonitorServiceTest, PersonalTimeKeepsTheLongThreshold)
{
    declare(8, 600);
    m_desktop.userInput();
    run(60000);
    EXPECT_EQ(Ids{}, sent());
}

TEST_F(IdleUserMonitorServiceTest, EndingTheCallWhileAwayForAMinuteMakesTheUserActiveAgain)
{
    declare(7);
    m_desktop.userInput();
    run(60000);
    ASSERT_EQ(Ids{4}, sent());
    declare(10); // the call ends; 60 s is under three minutes
    run(500);
    EXPECT_EQ(Ids{5}, sent());
}

// Started 30 s before the tick count wraps to 0.
class IdleAcrossTheWrapTest : public montest::PresenceTest {
protected:
    IdleAcrossTheWrapTest() : PresenceTest(0xFFFFFFFFu - 30000) {}
    IdleUserMonitorService* m_idle = start(new IdleUserMonitorService(system()));
};

TEST_F(IdleAcrossTheWrapTest, TheWrapOfTheTickCountDoesNoHarm)
{
    run(100000);
    EXPECT_EQ(Ids{}, sent()) << "100 s across the wrap";
    EXPECT_LT(m_clock.tickCount(), 100000u) << "the count did wrap";
    run(81000);
    EXPECT_EQ(Ids{4}, sent()) << "181 s across the wrap";
    m_desktop.userInput();
    run(500);
    EXPECT_EQ((Ids{4, 5}), sent());
    run(181000);
    EXPECT_EQ((Ids{4, 5, 4}), sent()) << "and again after it";
}

TEST_F(IdleUserMonitorServiceTest, InputStampedAfterTheCountWasReadIsNotIdle)
{
    m_desktop.setLastInputTick(m_clock.tickCount() + 2000);
    run(500);
    EXPECT_EQ(Ids{}, sent());
}

TEST_F(IdleUserMonitorServiceTest, AFailingInputQueryIsTracedAndChangesNothing)
{
    run(181000);
    ASSERT_EQ(Ids{4}, sent());
    m_events.clear();
    m_desktop.failLastInput(6); // ERROR_INVALID_HANDLE
    run(500);
    m_desktop.setLastInputTick(m_clock.tickCount()); // input the monitor cannot see yet
    m_desktop.failLastInput(6);
    run(2000);
    EXPECT_EQ(Ids{4}, sent()) << "no answer is no change";
    ASSERT_GE(m_events.count(1060701), 1u);
    const auto event = m_events.find(1060701);
    EXPECT_EQ(L"GetLastInputInfo failed", event.description);
    EXPECT_NE(std::wstring::npos, event.details.find(L"System Error ID: 6")) << event.details;
    EXPECT_FALSE(event.logged) << "traced only";

    m_desktop.userInput();
    run(500);
    EXPECT_EQ((Ids{4, 5}), sent());
}

} // namespace
