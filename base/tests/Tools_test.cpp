#include <gtest/gtest.h>

#include <ctime>

#include "base/Tools.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"

namespace {

using testsupport::EventRecorder;

TEST(ToolsTest, CleanStringStripsSeparatorsAndPunctuationFromBothEnds)
{
    EXPECT_EQ(Tools::cleanString(L"\\\\server\\share\\"), L"server\\share");
    EXPECT_EQ(Tools::cleanString(L"C:\\"), L"C");
    EXPECT_EQ(Tools::cleanString(L" \t.;:/\\a.b\\c /;"), L"a.b\\c");
    EXPECT_EQ(Tools::cleanString(L"inner: kept"), L"inner: kept");
    EXPECT_EQ(Tools::cleanString(L"\\/. \t:;"), L"");
    EXPECT_EQ(Tools::cleanString(L""), L"");
    EXPECT_EQ(Tools::cleanString(L"x"), L"x");
}

TEST(ToolsTest, CaseChangesTouchOnlyAsciiLetters)
{
    std::wstring text = L"abz ABZ 09 @[`{ \u00e9\u00c9";
    Tools::stringToUpper(text);
    EXPECT_EQ(text, L"ABZ ABZ 09 @[`{ \u00e9\u00c9");
    Tools::stringToLower(text);
    EXPECT_EQ(text, L"abz abz 09 @[`{ \u00e9\u00c9");
}

TEST(ToolsTest, EqualsIgnoringCaseComparesEveryCharacterButForCase)
{
    EXPECT_TRUE(Tools::equalsIgnoringCase(L"Explorer.EXE", L"explorer.exe"));
    EXPECT_TRUE(Tools::equalsIgnoringCase(L"", L""));
    EXPECT_FALSE(Tools::equalsIgnoringCase(L"explorer.ex", L"explorer.exe"));
    EXPECT_FALSE(Tools::equalsIgnoringCase(L"explorer.exe", L"explorer.ex"));
    EXPECT_FALSE(Tools::equalsIgnoringCase(L"explorer.exe", L"explorer.exf"));
    EXPECT_FALSE(Tools::equalsIgnoringCase(L"a-b", L"a_b"));
}

TEST(ToolsTest, SplitStringGivesMaximalRunsWithoutEmptyEntries)
{
    std::vector<std::wstring> parts{L"stale"};
    Tools::splitString(L"//a\\\\bc/d/", parts, L"\\/");
    EXPECT_EQ(parts, (std::vector<std::wstring>{L"a", L"bc", L"d"}));
    Tools::splitString(L"\\/\\", parts, L"\\/");
    EXPECT_TRUE(parts.empty());
    Tools::splitString(L"whole", parts, L"");
    EXPECT_EQ(parts, (std::vector<std::wstring>{L"whole"}));
}

TEST(ToolsTest, Utf8ConversionRoundTripsEveryPlane)
{
    // a, e-acute, euro sign, and U+1F600 (a surrogate pair in UTF-16).
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::wstring wide = Tools::widenNarrowString(utf8);
    ASSERT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 5u : 4u);
    EXPECT_EQ(wide[0], L'a');
    EXPECT_EQ(static_cast<uint32_t>(wide[1]), 0xE9u);
    EXPECT_EQ(static_cast<uint32_t>(wide[2]), 0x20ACu);
    EXPECT_EQ(Tools::narrowWideString(wide), utf8);
    EXPECT_EQ(Tools::widenNarrowString(""), L"");
    EXPECT_EQ(Tools::narrowWideString(L""), "");
}

TEST(ToolsTest, MalformedUtf8BecomesReplacementCharacters)
{
    const std::wstring lone = Tools::widenNarrowString("x\xFFy");
    ASSERT_EQ(lone.size(), 3u);
    EXPECT_EQ(static_cast<uint32_t>(lone[1]), 0xFFFDu);
    // Cut off in the middle of a three-byte sequence.
    const std::wstring cut = Tools::widenNarrowString("ab\xE2\x82");
    ASSERT_GE(cut.size(), 3u);
    EXPECT_EQ(cut.substr(0, 2), L"ab");
    EXPECT_EQ(static_cast<uint32_t>(cut[2]), 0xFFFDu);
}

TEST(ToolsTest, ParseUserNameSplitsDomainAndUser)
{
    EventRecorder recorder;
    std::wstring user = L"stale", domain = L"stale";
    EXPECT_TRUE(Tools::parseUserName(L"CORP\\jsmith", user, domain));
    EXPECT_EQ(domain, L"CORP");
    EXPECT_EQ(user, L"jsmith");
    user = domain = L"stale";
    EXPECT_TRUE(Tools::parseUserName(L"CORP/jsmith", user, domain));
    EXPECT_EQ(domain, L"CORP");
    EXPECT_EQ(user, L"jsmith");
    EXPECT_TRUE(recorder.all().empty());
}

TEST(ToolsTest, ParseUserNameWithoutDomainGivesUserAloneAndTraces1051107)
{
    EventRecorder recorder;
    std::wstring user = L"stale", domain = L"stale";
    EXPECT_TRUE(Tools::parseUserName(L"jsmith", user, domain));
    EXPECT_EQ(user, L"jsmith");
    EXPECT_EQ(domain, L"");
    ASSERT_EQ(recorder.count(1051107), 1u);
    EXPECT_EQ(recorder.find(1051107).description, L"Unexpected user name format");
    EXPECT_EQ(recorder.find(1051107).details, L" UserName:jsmith");
}

TEST(ToolsTest, ParseUserNameWithExtraPartsTakesFirstTwoAndTraces1051108)
{
    EventRecorder recorder;
    std::wstring user, domain;
    EXPECT_TRUE(Tools::parseUserName(L"CORP\\jsmith\\extra", user, domain));
    EXPECT_EQ(domain, L"CORP");
    EXPECT_EQ(user, L"jsmith");
    EXPECT_EQ(recorder.count(1051108), 1u);
}

TEST(ToolsTest, ParseUserNameWithNoPartFailsAndTraces1051106)
{
    EventRecorder recorder;
    for (const wchar_t* account : {L"", L"\\/\\"}) {
        std::wstring user = L"stale", domain = L"stale";
        EXPECT_FALSE(Tools::parseUserName(account, user, domain));
        EXPECT_EQ(user, L"");
        EXPECT_EQ(domain, L"");
    }
    EXPECT_EQ(recorder.count(1051106), 2u);
    EXPECT_EQ(recorder.find(1051106).description, L"Failed to parse user name");
}

TEST(ToolsTest, LocalObjectNameCarriesDomainAndUser)
{
    std::wstring user = L"stale", domain = L"stale";
    ASSERT_TRUE(Tools::getUserName(user, domain));
    EXPECT_FALSE(user.empty());
    EXPECT_EQ(Tools::createLocalObjectName(L"ContextInfo"),
              L"Local\\Ondrivex.Ondrivex." + domain + L"." + user + L".ContextInfo");
    // The prefix is fixed once made.
    EXPECT_EQ(Tools::createLocalObjectName(L"x.log.mtx"),
              L"Local\\Ondrivex.Ondrivex." + domain + L"." + user + L".x.log.mtx");
}

TEST(ToolsTest, MachineNameIsKnownAndNotTheSystemAccount)
{
    std::wstring computer = L"stale", group = L"stale";
    EXPECT_TRUE(Tools::getMachineName(computer, group));
    EXPECT_FALSE(computer.empty());
    EXPECT_NE(computer, L"stale");
    // The tests never run as the machine account.
    EXPECT_FALSE(Tools::isCurrentUserLocalSystem());
}

TEST(ToolsTest, ErrorDescriptionsAreOneLineAndEmptyForUnknownCodes)
{
    std::wstring text = L"stale";
    Tools::lookupErrorDescription(2, text); // "file not found" on both systems
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos);
    Tools::lookupErrorDescription(0xFFFFFF0Eul, text);
    EXPECT_EQ(text, L"");
}

TEST(ToolsTest, CurrentTimeIsSecondsSinceTheUnixEpoch)
{
    const int64_t before = static_cast<int64_t>(std::time(nullptr));
    const int64_t now = Tools::getCurrentTime();
    const int64_t after = static_cast<int64_t>(std::time(nullptr));
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
}

TEST(ToolsTest, IsThisProcessMatchesTheExecutablePathIgnoringCase)
{
    EXPECT_TRUE(Tools::isThisProcess(L"tcbasetests"));
    EXPECT_TRUE(Tools::isThisProcess(L"TCBaseTests"));
    EXPECT_FALSE(Tools::isThisProcess(L"NoSuchProgramName"));
    EXPECT_EQ(Tools::getExecutablePath(), testsupport::helperProgram(L"TCBaseTests"));
}

} // namespace
