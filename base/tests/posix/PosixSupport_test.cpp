#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "base/posix/PosixSupport.h"
#include "base/Tools.h"
#include "testsupport/TestSupport.h"

namespace {

bool controlOrPercent(unsigned char c)
{
    return c < 0x20 || c == 0x7F || c == '%';
}

TEST(PosixSupportTest, PercentEscapeWritesChosenBytesAsTwoUpperCaseDigits)
{
    EXPECT_EQ("a%09b%25c%7F\xC3\xA9",
              PosixSupport::percentEscape("a\tb%c\x7F\xC3\xA9", controlOrPercent));
    EXPECT_EQ("%C3%A9",
              PosixSupport::percentEscape("\xC3\xA9", [](unsigned char c) { return c >= 0x80; }));
}

TEST(PosixSupportTest, PercentUnescapeUndoesEscapeAndTakesEitherCase)
{
    const std::string raw("x\n%\x01y", 5);
    std::string back;
    ASSERT_TRUE(
        PosixSupport::percentUnescape(PosixSupport::percentEscape(raw, controlOrPercent), back));
    EXPECT_EQ(raw, back);
    ASSERT_TRUE(PosixSupport::percentUnescape("%c3%A9", back));
    EXPECT_EQ("\xC3\xA9", back);
}

TEST(PosixSupportTest, PercentUnescapeRefusesBrokenSequencesAndLeavesOutAlone)
{
    std::string out = "kept";
    EXPECT_FALSE(PosixSupport::percentUnescape("abc%4", out));
    EXPECT_FALSE(PosixSupport::percentUnescape("%G0", out));
    EXPECT_FALSE(PosixSupport::percentUnescape("%", out));
    EXPECT_EQ("kept", out);
}

TEST(PosixSupportTest, MakeFoldersCreatesEveryMissingLevel)
{
    testsupport::TempFolder folder(L"posixsupport");
    const std::string deep = Tools::narrowWideString(folder.path()) + "/a/b/c";
    ASSERT_TRUE(PosixSupport::makeFolders(deep));
    struct stat st {};
    ASSERT_EQ(0, ::stat(deep.c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_TRUE(PosixSupport::makeFolders(deep)); // existing is fine
    EXPECT_FALSE(PosixSupport::makeFolders(std::string()));
    EXPECT_FALSE(PosixSupport::makeFolders("/proc/version/x"));
}

TEST(PosixSupportTest, HomeFolderIsHomeWhenSet)
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        GTEST_SKIP() << "HOME is not set";
    EXPECT_EQ(home, PosixSupport::homeFolder());
}

TEST(PosixSupportTest, DescriptorsSurviveTheTripThroughANativeHandle)
{
    for (int fd : {-1, 0, 3, 1023})
        EXPECT_EQ(fd, PosixSupport::fdOf(PosixSupport::handleOf(fd)));
}

TEST(PosixSupportTest, HexDigitValues)
{
    EXPECT_EQ(0, PosixSupport::hexDigitValue('0'));
    EXPECT_EQ(15, PosixSupport::hexDigitValue('f'));
    EXPECT_EQ(10, PosixSupport::hexDigitValue('A'));
    EXPECT_EQ(-1, PosixSupport::hexDigitValue('g'));
}

} // namespace
