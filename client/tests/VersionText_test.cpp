#include "client/VersionText.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionTextTest, FileVersionDropsTheThirdPartAndAddsTheFourthWhenTheThirdIsSet)
{
    EXPECT_EQ(L"2.7.1", VersionText::fromFileVersion(L"2, 7, 1, 1"));
    EXPECT_EQ(L"2.7.4", VersionText::fromFileVersion(L"2, 7, 3, 4"));
    EXPECT_EQ(L"2.7", VersionText::fromFileVersion(L"2, 7, 0, 9"));
    EXPECT_EQ(L"1.0", VersionText::fromFileVersion(L"1, 0"));
    EXPECT_EQ(L"", VersionText::fromFileVersion(L""));
}

TEST(VersionTextTest, ComparisonIsByTextSo2Point10IsNotNewerThan2Point7Point1)
{
    EXPECT_FALSE(VersionText::isUpdateAvailable(L"2.7.1", L"2.10"));
    EXPECT_TRUE(VersionText::isUpdateAvailable(L"2.7.1", L"2.8"));
    EXPECT_TRUE(VersionText::isUpdateAvailable(L"2.7", L"2.7.1"));
    EXPECT_FALSE(VersionText::isUpdateAvailable(L"2.7.1", L"2.7.1"));
    EXPECT_FALSE(VersionText::isUpdateAvailable(L"2.7.1", L""));
}

TEST(VersionTextTest, QuestionAndAnswerTexts)
{
    EXPECT_EQ(L"Version 3.0 is available for download.  Would you like to download?",
              VersionText::updateQuestion(L"3.0"));
    EXPECT_STREQ(L"No updates are available.", VersionText::NoUpdates);
}

} // namespace
