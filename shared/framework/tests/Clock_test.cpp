// The clock tests drive, and service timers that such a clock drives.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "FrameworkFakes.h"
#include "shared/framework/Clock.h"
#include "shared/framework/Timer.h"
#include "testsupport/EventCapture.h"

using namespace frameworktest;

namespace {

TEST(ManualClockTest, TimeOfDayAndTickCountMoveOnTogether)
{
    ManualClock clock(1000, 70000);
    clock.advanceMs(400);
    EXPECT_EQ(1000, clock.now()) << "part of a second is not a second yet";
    EXPECT_EQ(70400u, clock.tickCount());
    clock.advanceMs(700);
    EXPECT_EQ(1001, clock.now());
    EXPECT_EQ(71100u, clock.tickCount());
    clock.advance(3600);
    EXPECT_EQ(4601, clock.now());
    EXPECT_EQ(3671100u, clock.tickCount());
    clock.advanceMs(-5000);
    EXPECT_EQ(4601, clock.now()) << "a hand-driven clock only goes forward";
}

TEST(ManualClockTest, TickCountWrapsAfterFortyNineDays)
{
    ManualClock clock(0, 0xFFFFFF00u);
    clock.advanceMs(0x200);
    EXPECT_EQ(0x100u, clock.tickCount());
    EXPECT_EQ(0, clock.now());
}

TEST(ManualClockTest, SettingOneLeavesTheOther)
{
    ManualClock clock(500, 100);
    clock.advanceMs(250);
    clock.set(9000);
    EXPECT_EQ(9000, clock.now());
    EXPECT_EQ(350u, clock.tickCount());
    clock.advanceMs(800);
    EXPECT_EQ(9000, clock.now()) << "set starts the second anew";
    clock.setTickCount(7);
    EXPECT_EQ(9000, clock.now());
    EXPECT_EQ(7u, clock.tickCount());
}

TEST(SystemClockTest, TickCountMovesWithTime)
{
    const Clock& clock = Clock::system();
    const uint32_t before = clock.tickCount();
    ASSERT_TRUE(testsupport::eventually(
        [&] { return static_cast<int32_t>(clock.tickCount() - before) >= 20; }));
    EXPECT_GT(clock.now(), 1600000000);
}

class ClockDrivenTimerTest : public ::testing::Test {
protected:
    FakeService* service(const std::string& name)
    {
        auto* s = new FakeService(name, m_journal);
        m_framework->addService(s);
        return s;
    }
    // Moves the clock on by ms and pulses once.
    void step(int64_t ms)
    {
        m_clock.advanceMs(ms);
        m_framework->pulse();
    }
    // Moves the clock on in steps, pulsing after each, as a host that
    // pulses every step milliseconds would.
    void run(int64_t ms, int64_t step = 100)
    {
        for (int64_t done = 0; done < ms; done += step) {
            m_clock.advanceMs(step);
            while (m_framework->pulse()) {
            }
        }
    }

    std::shared_ptr<Journal> m_journal = std::make_shared<Journal>();
    ManualClock m_clock{1700000000, 1000};
    std::unique_ptr<TestFramework> m_framework{new TestFramework(m_clock)};
};

TEST_F(ClockDrivenTimerTest, NothingFiresWhileTheClockStandsStill)
{
    FakeService* s = service("s");
    s->setTimer(10, Timer::Repeating);
    for (int i = 0; i < 200; ++i)
        m_framework->pulse();
    EXPECT_EQ(0, s->timerCalls);
    step(9);
    EXPECT_EQ(0, s->timerCalls);
    step(1);
    EXPECT_EQ(1, s->timerCalls);
}

TEST_F(ClockDrivenTimerTest, ARepeatingTimerKeepsItsPeriodWhenPulsedOften)
{
    FakeService* s = service("s");
    s->setTimer(500, Timer::Repeating);
    run(60000, 200);
    EXPECT_EQ(120, s->timerCalls) << "500 ms for a minute, pulsed every 200 ms";
}

TEST_F(ClockDrivenTimerTest, ALateTimerTicksOnceAndCountsItsPeriodFromThen)
{
    FakeService* s = service("s");
    s->setTimer(1000, Timer::Repeating);
    m_clock.advance(3600);
    m_framework->pulse();
    m_framework->pulse();
    EXPECT_EQ(1, s->timerCalls) << "an hour of ticks between two pulses is one tick";
    step(999);
    EXPECT_EQ(1, s->timerCalls);
    step(1);
    EXPECT_EQ(2, s->timerCalls);
}

TEST_F(ClockDrivenTimerTest, OneShotFiresOnceAndReArmingRestartsTheCountdown)
{
    FakeService* s = service("s");
    s->setTimer(10000, Timer::OneShot);
    run(6000);
    s->setTimer(10000, Timer::OneShot);
    run(9900);
    EXPECT_EQ(0, s->timerCalls) << "re-arming at 6 s moved the tick to 16 s";
    run(100);
    EXPECT_EQ(1, s->timerCalls);
    run(60000);
    EXPECT_EQ(1, s->timerCalls);
    EXPECT_FALSE(s->timer().isArmed());
}

TEST_F(ClockDrivenTimerTest, TimersTickAcrossTheWrapOfTheTickCount)
{
    m_clock.setTickCount(0xFFFFFFFFu - 250);
    FakeService* s = service("s");
    s->setTimer(200, Timer::Repeating);
    run(1000);
    EXPECT_EQ(5, s->timerCalls);
}

TEST_F(ClockDrivenTimerTest, WeeksWithoutAPulseStillEndInOneTick)
{
    FakeService* s = service("s");
    s->setTimer(500, Timer::Repeating);
    m_clock.advance(40 * 86400); // past half the range of the 32-bit count
    m_framework->pulse();
    EXPECT_EQ(1, s->timerCalls);
    run(1000);
    EXPECT_EQ(3, s->timerCalls);
}

TEST_F(ClockDrivenTimerTest, KilledTimerStaysQuiet)
{
    FakeService* s = service("s");
    s->setTimer(100, Timer::Repeating);
    run(300);
    EXPECT_EQ(3, s->timerCalls);
    s->killTimer();
    run(1000);
    EXPECT_EQ(3, s->timerCalls);
}

TEST(ClockDrivenFrameworkTest, TimersArmedBeforeTheClockTakesOverFollowIt)
{
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    TestFramework framework;
    auto* s = new FakeService("s", journal);
    framework.addService(s);
    s->setTimer(50, Timer::Repeating);
    ManualClock clock;
    Timer::driveBy(&clock);
    clock.advanceMs(49);
    framework.pulse();
    EXPECT_EQ(0, s->timerCalls);
    clock.advanceMs(1);
    framework.pulse();
    EXPECT_EQ(1, s->timerCalls);
    Timer::driveBy(nullptr);
    // Back on the system's own ticks, which do come.
    ASSERT_TRUE(testsupport::eventually([&] {
        framework.pulse();
        return s->timerCalls >= 2;
    }));
}

TEST(ClockDrivenFrameworkTest, TheNextFrameworkTicksByTheSystemAgain)
{
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    {
        ManualClock clock;
        TestFramework driven(clock);
    }
    TestFramework framework;
    auto* s = new FakeService("s", journal);
    framework.addService(s);
    s->setTimer(10, Timer::Repeating);
    ASSERT_TRUE(testsupport::eventually([&] {
        framework.pulse();
        return s->timerCalls >= 1;
    }));
}

} // namespace
