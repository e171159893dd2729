#include "client/DurationEntries.h"

#include <gtest/gtest.h>

namespace {

TEST(DurationEntriesTest, EveryOfferedEntryReadsAsItsOwnMinutes)
{
    for (const DurationEntries::Entry& entry : DurationEntries::all())
        EXPECT_EQ(entry.minutes * 60, DurationEntries::secondsOf(entry.text)) << entry.text;
}

TEST(DurationEntriesTest, TheEntriesThatNeedTheirOwnLayout)
{
    EXPECT_EQ(5400, DurationEntries::secondsOf(L"1.5 hours"));
    EXPECT_EQ(36000, DurationEntries::secondsOf(L"10 hours"));
    EXPECT_EQ(2700, DurationEntries::secondsOf(L"45 minutes"));
    EXPECT_EQ(3600, DurationEntries::secondsOf(L"1 hour"));
    EXPECT_EQ(300, DurationEntries::secondsOf(L"5 minutes"));
}

TEST(DurationEntriesTest, NothingSelectedOrUnknownTextIsZero)
{
    EXPECT_EQ(0, DurationEntries::secondsOf(L""));
    EXPECT_EQ(0, DurationEntries::secondsOf(L"x"));
    EXPECT_EQ(0, DurationEntries::secondsOf(L"soon"));
}

TEST(DurationEntriesTest, AFortyMinuteMeetingLimitOffersUpToThirtyMinutesAndSelectsIt)
{
    std::vector<std::wstring> offered = DurationEntries::offered(40);
    ASSERT_EQ(4u, offered.size());
    EXPECT_EQ(L"5 minutes", offered.front());
    EXPECT_EQ(L"30 minutes", offered.back());
    EXPECT_EQ(3, DurationEntries::defaultSelection(0, 4));
}

TEST(DurationEntriesTest, AMeetingSelectsOneHourWhenOfferedAndPersonalTimeTheFirst)
{
    std::vector<std::wstring> offered = DurationEntries::offered(600);
    ASSERT_EQ(16u, offered.size());
    int meeting = DurationEntries::defaultSelection(0, 16);
    EXPECT_EQ(L"1 hour", offered[meeting]);
    EXPECT_EQ(0, DurationEntries::defaultSelection(2, 16));
    EXPECT_EQ(-1, DurationEntries::defaultSelection(0, 0));
}

TEST(DurationEntriesTest, NoLimitOffersNothing)
{
    EXPECT_TRUE(DurationEntries::offered(0).empty());
    EXPECT_TRUE(DurationEntries::offered(4).empty());
    EXPECT_EQ(1u, DurationEntries::offered(5).size());
}

} // namespace
