#include "client/SubjectList.h"

#include <gtest/gtest.h>

#include "testsupport/TestSupport.h"

namespace {

class SubjectListTest : public ::testing::Test {
protected:
    testsupport::TestKey key{L"Subjects"};
    Registry root{Registry::CurrentUser, key.path()};
    Registry meetings{Registry::CurrentUser, key.path() + L"\\Meetings"};
};

TEST_F(SubjectListTest, EmptyStoreSelectsOneAndWritesItBack)
{
    SubjectList list(root, L"Meetings");
    list.load();
    EXPECT_TRUE(list.subjects().empty());
    EXPECT_EQ(1, list.selectedIndex());
    EXPECT_EQ(1, meetings.read(L"0", -5));
}

TEST_F(SubjectListTest, StoredSubjectsAreReadUntilTheFirstGapWithoutRepeats)
{
    meetings.write(L"0", 1);
    meetings.write(L"1", L"Budget");
    meetings.write(L"2", L"Standup");
    meetings.write(L"3", L"Budget");
    meetings.write(L"5", L"Unreached");
    SubjectList list(root, L"Meetings");
    list.load();
    ASSERT_EQ(2u, list.subjects().size());
    EXPECT_EQ(L"Budget", list.subjects()[0]);
    EXPECT_EQ(L"Standup", list.subjects()[1]);
    EXPECT_EQ(1, list.selectedIndex());
}

TEST_F(SubjectListTest, TwoNewSubjectsAreKeptUnderConsecutiveNumbers)
{
    meetings.write(L"1", L"Budget");
    SubjectList list(root, L"Meetings");
    list.load();
    EXPECT_EQ(1, list.remember(L"Review"));
    EXPECT_EQ(2, list.remember(L"Planning"));
    EXPECT_EQ(L"Budget", meetings.read(L"1", L""));
    EXPECT_EQ(L"Review", meetings.read(L"2", L""));
    EXPECT_EQ(L"Planning", meetings.read(L"3", L""));
    EXPECT_EQ(2, meetings.read(L"0", -1));

    SubjectList again(root, L"Meetings");
    again.load();
    ASSERT_EQ(3u, again.subjects().size());
    EXPECT_EQ(2, again.selectedIndex());
}

TEST_F(SubjectListTest, AKnownSubjectIsSelectedNotStoredAgain)
{
    meetings.write(L"1", L"Budget");
    meetings.write(L"2", L"Budget");
    SubjectList list(root, L"Meetings");
    list.load();
    EXPECT_EQ(0, list.remember(L"Budget"));
    EXPECT_EQ(L"", meetings.read(L"3", L""));
    EXPECT_EQ(0, meetings.read(L"0", -1));
    // A new one after a repeated stored value goes after every number in use.
    EXPECT_EQ(1, list.remember(L"Review"));
    EXPECT_EQ(L"Budget", meetings.read(L"2", L""));
    EXPECT_EQ(L"Review", meetings.read(L"3", L""));
    EXPECT_EQ(-1, list.remember(L""));
}

TEST_F(SubjectListTest, PhoneSubjectsKeepToTheirOwnKey)
{
    SubjectList phone(root, L"Phone");
    phone.load();
    phone.remember(L"Supplier");
    EXPECT_EQ(L"Supplier",
              Registry(Registry::CurrentUser, key.path() + L"\\Phone").read(L"1", L""));
    EXPECT_EQ(L"", meetings.read(L"1", L""));
}

} // namespace
