#include "client/AdjustableClock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class AdjustableClockTest : public ::testing::Test {
protected:
    ManualClock base{1700000000, 5000000};
    AdjustableClock clock{base};
};

TEST_F(AdjustableClockTest, ReadsTheBaseClockUntilMovedOn)
{
    EXPECT_EQ(1700000000, clock.now());
    EXPECT_EQ(5000000u, clock.tickCount());
    base.advance(7);
    EXPECT_EQ(1700000007, clock.now());
    EXPECT_EQ(5007000u, clock.tickCount());
    EXPECT_EQ(0, clock.offsetSeconds());
}

TEST_F(AdjustableClockTest, AdvanceMovesTimeOfDayAndTickCountTogether)
{
    ASSERT_TRUE(clock.advance(300));
    EXPECT_EQ(1700000300, clock.now());
    EXPECT_EQ(5300000u, clock.tickCount());
    base.advance(2);
    EXPECT_EQ(1700000302, clock.now());
    EXPECT_EQ(5302000u, clock.tickCount());
    ASSERT_TRUE(clock.advance(60));
    EXPECT_EQ(360, clock.offsetSeconds());
    EXPECT_EQ(1700000362, clock.now());
}

TEST_F(AdjustableClockTest, RefusesToGoBackOrToJumpFurtherThanADay)
{
    EXPECT_FALSE(clock.advance(0));
    EXPECT_FALSE(clock.advance(-5));
    EXPECT_FALSE(clock.advance(AdjustableClock::LongestStep + 1));
    EXPECT_EQ(1700000000, clock.now());
    EXPECT_EQ(5000000u, clock.tickCount());
    EXPECT_TRUE(clock.advance(AdjustableClock::LongestStep));
    EXPECT_EQ(1700000000 + AdjustableClock::LongestStep, clock.now());
}

TEST_F(AdjustableClockTest, TickCountWrapsAsTheSystemsDoes)
{
    base.setTickCount(0xFFFFFFFFu - 999u);
    ASSERT_TRUE(clock.advance(2));
    EXPECT_EQ(1000u, clock.tickCount());
    // The difference between two readings is what has passed.
    uint32_t before = clock.tickCount();
    ASSERT_TRUE(clock.advance(1));
    EXPECT_EQ(1000u, static_cast<uint32_t>(clock.tickCount() - before));
}

TEST_F(AdjustableClockTest, ReadersOnOtherThreadsNeverSeeTheClockGoBack)
{
    std::atomic<bool> done{false};
    std::atomic<bool> wentBack{false};
    std::thread reader([&] {
        int64_t last = clock.now();
        while (!done) {
            int64_t read = clock.now();
            if (read < last)
                wentBack = true;
            last = read;
        }
    });
    for (int i = 0; i < 1000; ++i)
        clock.advance(1);
    done = true;
    reader.join();
    EXPECT_FALSE(wentBack.load());
    EXPECT_EQ(1700001000, clock.now());
}

} // namespace
