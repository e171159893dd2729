// The title rules: how the rules file is read and how each rule cuts a title.
#include <gtest/gtest.h>

#include <string>

#include "base/Utf16.h"
#include "shared/monitoring/IntelligentTitlebarTextExtractor.h"
#include "shared/monitoring/OLETextExtractor.h"
#include "shared/monitoring/TitlebarTextExtractor.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

// An extractor filled from text instead of the installation's file.
class Rules : public TitlebarTextExtractor {
public:
    explicit Rules(const std::string& text) : TitlebarTextExtractor(std::wstring())
    {
        readApplicationRules(text);
    }
    using TitlebarTextExtractor::cutBetween;
    using TitlebarTextExtractor::deleteAfter;
    using TitlebarTextExtractor::deleteBefore;
    using TitlebarTextExtractor::trimUnwantedChars;
};

struct Result {
    int ok = -1;
    std::wstring s1 = L"before1";
    std::wstring s2 = L"before2";
    std::wstring s3 = L"before3";
};

Result run(const TitlebarTextExtractor& rules, const std::wstring& key, const std::wstring& title)
{
    Result r;
    r.ok = rules.process(key, title, r.s1, r.s2, r.s3);
    return r;
}

class TitlebarTextExtractorTest : public ::testing::Test {
protected:
    testsupport::EventRecorder m_events;
};

TEST_F(TitlebarTextExtractorTest, RulesApplyInNameOrderWhateverTheFileOrder)
{
    Rules rules("[APP.EXE]\n"
                "STRING1_DELETE_AFTER=\" - App\"\n"
                "ACTIVITY=\"Editing\"\n");
    const auto list = rules.getRules(L"APP.EXE");
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(L"ACTIVITY", list[0].first);
    EXPECT_EQ(L"STRING1_DELETE_AFTER", list[1].first);
    // The title makes the deletion fail: ACTIVITY ran first and stays.
    Result r = run(rules, L"APP.EXE", L"no separator here");
    EXPECT_EQ(0, r.ok);
    EXPECT_EQ(L"Editing", r.s3);
    EXPECT_EQ(L"before1", r.s1);
    EXPECT_EQ(L"before2", r.s2);
    r = run(rules, L"APP.EXE", L"Notes.txt - App");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(L"Notes.txt", r.s1);
    EXPECT_EQ(L"Notes.txt - App", r.s2);
    EXPECT_EQ(L"Editing", r.s3);
}

TEST_F(TitlebarTextExtractorTest, RulesOfOneNameApplyInFileOrder)
{
    Rules rules("[APP.EXE]\n"
                "STRING2_DELETE_BEFORE=\"b\"\n"
                "STRING2_DELETE_BEFORE=\"a\"\n");
    // "b" first: "xaybzaw" -> "zaw", then "a" -> "w". The other order would give "ybzaw" -> "zaw".
    Result r = run(rules, L"APP.EXE", L"xaybzaw");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(L"w", r.s2);
    EXPECT_EQ(L"xaybzaw", r.s1);
    const auto list = rules.getRules(L"APP.EXE");
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(L"b", list[0].second);
    EXPECT_EQ(L"a", list[1].second);
}

TEST_F(TitlebarTextExtractorTest, IgnoreTextInTitleFailsTheRunThoughOtherRulesMatch)
{
    Rules rules("[APP.EXE]\n"
                "STRING2_DELETE_AFTER=\" - App\"\n"
                "IGNORE_IF_TXT_IN_TITLEBAR=\"Print Preview\"\n"
                "ACTIVITY=\"Editing\"\n");
    Result r = run(rules, L"APP.EXE", L"Report - Print Preview - App");
    EXPECT_EQ(0, r.ok);
    EXPECT_EQ(L"before2", r.s2);
    EXPECT_EQ(L"Editing", r.s3);
    r = run(rules, L"APP.EXE", L"Report - App");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(L"Report", r.s2);
}

TEST_F(TitlebarTextExtractorTest, IgnoreLooksAtTheOriginalTitle)
{
    // The deletion removed the text before IGNORE could see it in the
    // working string; it still sees the title.
    Rules rules("[APP.EXE]\n"
                "IGNORE_IF_TXT_IN_TITLEBAR=\"secret\"\n"
                "STRING2_DELETE_AFTER=\" [\"\n");
    EXPECT_EQ(0, run(rules, L"APP.EXE", L"doc [secret]").ok);
}

TEST_F(TitlebarTextExtractorTest, CutBetweenSquareBracketsGivesTheWord)
{
    Rules rules("[POWERPNT.EXE]\nSTRING2_CUT_BETWEEN=\"[<SNIP>]\"\n");
    Result r = run(rules, L"POWERPNT.EXE", L"Microsoft PowerPoint - [Quarterly.pptx]");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(L"Quarterly.pptx", r.s2);
    r = run(rules, L"POWERPNT.EXE", L"Microsoft PowerPoint");
    EXPECT_EQ(0, r.ok);
    EXPECT_EQ(L"before2", r.s2);
}

TEST_F(TitlebarTextExtractorTest, CutBetweenWithEmptyHeadOrTail)
{
    std::wstring out = L"untouched";
    EXPECT_EQ(1, Rules::cutBetween(L"alpha: beta", L"<SNIP>", out));
    EXPECT_EQ(L"alpha: beta", out);
    EXPECT_EQ(1, Rules::cutBetween(L"alpha: beta", L": <SNIP>", out));
    EXPECT_EQ(L"beta", out) << "an empty tail keeps everything after the head";
    EXPECT_EQ(1, Rules::cutBetween(L"alpha: beta", L"<SNIP>: ", out));
    EXPECT_EQ(L"alpha", out) << "an empty head keeps everything before the tail";
    out = L"untouched";
    EXPECT_EQ(0, Rules::cutBetween(L"alpha: beta", L"[<SNIP>]", out));
    EXPECT_EQ(0, Rules::cutBetween(L"alpha: beta", L"no snip", out));
    EXPECT_EQ(0, Rules::cutBetween(L"alpha: beta", L"<snip>", out)) << "case matters";
    EXPECT_EQ(L"untouched", out);
    // The tail is looked for from the start: found before the head's end,
    // the cut runs to the end.
    EXPECT_EQ(1, Rules::cutBetween(L"a) (b) c", L"(<SNIP>)", out));
    EXPECT_EQ(L"b) c", out);
}

TEST_F(TitlebarTextExtractorTest, DeleteBeforeAndAfterUseTheFirstOccurrence)
{
    std::wstring out = L"untouched";
    EXPECT_EQ(1, Rules::deleteAfter(L"a - b - c", L" - ", out));
    EXPECT_EQ(L"a", out);
    EXPECT_EQ(1, Rules::deleteBefore(L"a - b - c", L" - ", out));
    EXPECT_EQ(L"b - c", out);
    out = L"untouched";
    EXPECT_EQ(0, Rules::deleteAfter(L"a - b", L" | ", out));
    EXPECT_EQ(0, Rules::deleteBefore(L"a - b", L"A", out));
    EXPECT_EQ(L"untouched", out);
}

TEST_F(TitlebarTextExtractorTest, ContinueRulesLeaveTheStringWhenTheirTextIsMissing)
{
    Rules rules("[APP.EXE]\n"
                "STRING1_DELETE_AFTER_BUT_CONTINUE=\" (\"\n"
                "STRING1_DELETE_BEFORE_BUT_CONTINUE=\"*\"\n"
                "STRING2_DELETE_AFTER_BUT_CONTINUE=\" - App\"\n"
                "STRING2_DELETE_BEFORE_BUT_CONTINUE=\"*\"\n");
    Result r = run(rules, L"APP.EXE", L"plain");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(L"plain", r.s1);
    EXPECT_EQ(L"plain", r.s2);
    r = run(rules, L"APP.EXE", L"*doc (x) - App");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(L"doc", r.s1);
    EXPECT_EQ(L"doc (x)", r.s2);
}

TEST_F(TitlebarTextExtractorTest, EveryFailingRuleFailsTheRun)
{
    const char* const failing[] = {
        "STRING1_CUT_BETWEEN=\"[<SNIP>]\"", "STRING1_DELETE_AFTER=\"zz\"",
        "STRING1_DELETE_BEFORE=\"zz\"",     "STRING2_CUT_BETWEEN=\"(<SNIP>)\"",
        "STRING2_DELETE_AFTER=\"zz\"",      "STRING2_DELETE_BEFORE=\"zz\""};
    for (const char* rule : failing) {
        Rules rules(std::string("[APP.EXE]\nACTIVITY=\"A\"\n") + rule + "\n");
        const Result r = run(rules, L"APP.EXE", L"title");
        EXPECT_EQ(0, r.ok) << rule;
        EXPECT_EQ(L"before1", r.s1) << rule;
        EXPECT_EQ(L"before2", r.s2) << rule;
        EXPECT_EQ(L"A", r.s3) << rule;
    }
}

TEST_F(TitlebarTextExtractorTest, EmptyRulesNeedADummyValue)
{
    Rules rules("[APP.EXE]\n"
                "STRING1_EMPTY=\"x\"\n"
                "STRING2_EMPTY=\"\"\n");
    const auto list = rules.getRules(L"APP.EXE");
    ASSERT_EQ(1u, list.size()) << "an empty value is never stored";
    const Result r = run(rules, L"APP.EXE", L"title");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(L"", r.s1);
    EXPECT_EQ(L"title", r.s2);
    EXPECT_EQ(L"before3", r.s3) << "no ACTIVITY: string 3 is left to the caller";
}

TEST_F(TitlebarTextExtractorTest, SectionNamesAreTrimmedAndUpperCased)
{
    Rules rules("[  winword.exe \t]\nACTIVITY=\"Writing\"\n"
                "[\tExcel.exe\n"
                "ACTIVITY=\"Figures\"\n");
    const auto apps = rules.getApplications();
    ASSERT_EQ(2u, apps.size());
    EXPECT_EQ(L"EXCEL.EXE", apps[0]);
    EXPECT_EQ(L"WINWORD.EXE", apps[1]);
    EXPECT_EQ(1, rules.canProcess(L"WINWORD.EXE"));
    EXPECT_EQ(0, rules.canProcess(L"winword.exe")) << "the caller upper-cases the key";
    EXPECT_EQ(1, rules.canProcess(L"EXCEL.EXE"));
}

TEST_F(TitlebarTextExtractorTest, EmptySectionNameIgnoresItsRules)
{
    Rules rules("[APP.EXE]\nACTIVITY=\"one\"\n[  ]\nACTIVITY=\"lost\"\nSTRING2_EMPTY=\"x\"\n");
    EXPECT_EQ(1u, rules.getApplications().size());
    EXPECT_EQ(1u, rules.getRules(L"APP.EXE").size());
}

TEST_F(TitlebarTextExtractorTest, RulesBeforeAnySectionAreIgnored)
{
    Rules rules("ACTIVITY=\"orphan\"\n[APP.EXE]\n");
    EXPECT_TRUE(rules.getRules(L"APP.EXE").empty());
    EXPECT_EQ(0u, m_events.count(1062703));
}

TEST_F(TitlebarTextExtractorTest, RepeatedSectionAddsToTheFirstWithAnEvent)
{
    Rules rules("[APP.EXE]\nSTRING2_DELETE_BEFORE=\"1\"\n[other]\nACTIVITY=\"o\"\n[app.exe]"
                "\nSTRING2_DELETE_BEFORE=\"2\"\n");
    const auto list = rules.getRules(L"APP.EXE");
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(L"1", list[0].second);
    EXPECT_EQ(L"2", list[1].second);
    const testsupport::CapturedEvent e = m_events.find(1062702);
    EXPECT_EQ(L"Application rule file containsmultiple entries for application", e.description);
    EXPECT_NE(std::wstring::npos, e.details.find(L"Rule read fom file:APP.EXE"));
}

TEST_F(TitlebarTextExtractorTest, UnknownRulesAndUnquotedValuesAreDroppedWithTheirEvents)
{
    Rules rules("[APP.EXE]\n"
                "STRING3_DELETE_AFTER=\" - \"\n"
                "activity=\"lower case name\"\n"
                "STRING2_DELETE_AFTER= - App\n"
                "  STRING2_DELETE_BEFORE\t= \"x\" trailing\n"
                "no equals sign here\n"
                "# STRING2_EMPTY=\"commented\"\n"
                "\n");
    const auto list = rules.getRules(L"APP.EXE");
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(L"STRING2_DELETE_BEFORE", list[0].first);
    EXPECT_EQ(L"x", list[0].second);
    const auto unknown = m_events.withId(1062703);
    ASSERT_EQ(2u, unknown.size());
    EXPECT_EQ(L"Unknown rule in application rule file", unknown[0].description);
    EXPECT_NE(std::wstring::npos,
              unknown[0].details.find(L"Rule read fom file:STRING3_DELETE_AFTER=\" - \""));
    EXPECT_NE(std::wstring::npos, unknown[1].details.find(L"activity=\"lower case name\""));
    const auto unquoted = m_events.withId(1062704);
    ASSERT_EQ(1u, unquoted.size());
    EXPECT_EQ(L"Incorrectly formatted rule value line", unquoted[0].description);
    EXPECT_NE(std::wstring::npos,
              unquoted[0].details.find(L"Rule text read fom file:STRING2_DELETE_AFTER= - App"));
}

TEST_F(TitlebarTextExtractorTest, ValueRunsBetweenFirstAndLastQuote)
{
    Rules rules("[APP.EXE]\n"
                "STRING2_DELETE_AFTER=\"say \"hi\" now\"\n"
                "STRING1_DELETE_AFTER=\" - open\n"
                "STRING2_DELETE_BEFORE=x\"=y\"\r\n");
    const auto list = rules.getRules(L"APP.EXE");
    ASSERT_EQ(3u, list.size());
    EXPECT_EQ(L" - open", list[0].second) << "one quote: everything after it";
    EXPECT_EQ(L"say \"hi\" now", list[1].second);
    EXPECT_EQ(L"=y", list[2].second);
}

TEST_F(TitlebarTextExtractorTest, SectionWithoutRulesIsKnownButGivesNothing)
{
    Rules rules("[EMPTY.EXE]\n# nothing yet\n");
    EXPECT_EQ(1, rules.canProcess(L"EMPTY.EXE"));
    const Result r = run(rules, L"EMPTY.EXE", L"title");
    EXPECT_EQ(0, r.ok);
    EXPECT_EQ(L"before2", r.s2);
    const testsupport::CapturedEvent e = m_events.find(1062705);
    EXPECT_EQ(L"No rules are present from this application", e.description);
    EXPECT_NE(std::wstring::npos, e.details.find(L"Application name:EMPTY.EXE"));
    EXPECT_EQ(0, run(rules, L"OTHER.EXE", L"title").ok);
}

TEST_F(TitlebarTextExtractorTest, MatchingIsCaseSensitive)
{
    Rules rules("[APP.EXE]\nSTRING2_DELETE_AFTER=\" - app\"\n");
    EXPECT_EQ(0, run(rules, L"APP.EXE", L"doc - App").ok);
    EXPECT_EQ(1, run(rules, L"APP.EXE", L"doc - app").ok);
}

TEST_F(TitlebarTextExtractorTest, Utf8FileIsReadAsUtf8AndOlderFilesByteForByte)
{
    // "—" (U+2014) as UTF-8, with a byte-order mark.
    Rules utf8(
        "\xEF\xBB\xBF[FIREFOX.EXE]\nSTRING2_DELETE_AFTER=\" \xE2\x80\x94 Mozilla Firefox\"\n");
    Result r = run(utf8, L"FIREFOX.EXE", L"Start Page \x2014 Mozilla Firefox");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(L"Start Page", r.s2);
    // Latin-1: "ü" is one byte, 0xFC.
    Rules latin1("[ZAEHLER.EXE]\nSTRING2_DELETE_AFTER=\" - Z\xFChler\"\n");
    r = run(latin1, L"ZAEHLER.EXE", L"Liste - Z\x00FChler");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(L"Liste", r.s2);
}

TEST_F(TitlebarTextExtractorTest, TitleWithCharactersBeyondTheBasicPlane)
{
    const std::wstring smile = Utf16::fromUnits(u"\xD83D\xDE00");
    Rules rules("[CHAT.EXE]\nSTRING2_DELETE_AFTER=\" | Chat\"\n");
    const Result r = run(rules, L"CHAT.EXE", smile + L" Team | Chat");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(smile + L" Team", r.s2);
}

TEST_F(TitlebarTextExtractorTest, RulesFileIsReadFromItsPathAndAMissingOneIsReported)
{
    testsupport::TempFolder folder(L"rules");
    const std::wstring path = folder.file(L"ApplicationRules.txt");
    testsupport::writeFile(path, std::string("[APP.EXE]\r\nSTRING2_DELETE_AFTER=\" - App\"\r\n"));
    TitlebarTextExtractor rules(path);
    EXPECT_EQ(1, rules.canProcess(L"APP.EXE"));
    EXPECT_EQ(1, run(rules, L"APP.EXE", L"doc - App").ok);
    EXPECT_EQ(0u, m_events.count(1062701));

    TitlebarTextExtractor missing(folder.file(L"none.txt"));
    EXPECT_TRUE(missing.getApplications().empty());
    const testsupport::CapturedEvent e = m_events.find(1062701);
    EXPECT_EQ(L"Failed to open application rule file", e.description);
    EXPECT_NE(std::wstring::npos, e.details.find(L"File name:ApplicationRules.txt"));
}

TEST_F(TitlebarTextExtractorTest, TrimRemovesTheSetAtBothEndsOnly)
{
    EXPECT_EQ(L"a b", Rules::trimUnwantedChars(L" \t a b\r\n", L" \t\r\n"));
    EXPECT_EQ(L"", Rules::trimUnwantedChars(L" \t ", L" \t"));
    EXPECT_EQ(L"xx", Rules::trimUnwantedChars(L"xx", L""));
}

// Title split ---------------------------------------------------------------

TEST(IntelligentTitlebarTextExtractorTest, DropsTheHalfThatNamesTheApplication)
{
    IntelligentTitlebarTextExtractor split;
    std::wstring out = L"untouched";
    EXPECT_EQ(1, split.canProcess(L"Plan.txt - Notepad"));
    EXPECT_EQ(0, split.canProcess(L"Plan.txt-Notepad"));
    EXPECT_EQ(1, split.process(L"Plan.txt - Notepad", L"Notepad", out));
    EXPECT_EQ(L"Plan.txt", out);
    EXPECT_EQ(1, split.process(L"Calculator - Memory", L"Windows Calculator", out));
    EXPECT_EQ(L"Memory", out);
    out = L"untouched";
    EXPECT_EQ(0, split.process(L"No separator", L"No separator", out));
    EXPECT_EQ(L"untouched", out);
}

TEST(IntelligentTitlebarTextExtractorTest, ThreePartTitleSplitsAtTheFirstSeparator)
{
    IntelligentTitlebarTextExtractor split;
    std::wstring out = L"untouched";
    // A, then "B - C": neither occurs in the description.
    EXPECT_EQ(0, split.process(L"Alpha - Beta - Gamma", L"Gamma Suite", out));
    EXPECT_EQ(L"untouched", out);
    EXPECT_EQ(1, split.process(L"Alpha - Beta - Gamma", L"The Beta - Gamma editor", out));
    EXPECT_EQ(L"Alpha", out);
}

TEST(OLETextExtractorTest, DeclinesEveryWindow)
{
    OLETextExtractor ole;
    EXPECT_FALSE(ole.canProcess(nullptr));
    std::wstring a = L"a", b = L"b", c = L"c";
    EXPECT_FALSE(ole.process(nullptr, a, b, c));
    EXPECT_EQ(L"a", a);
    ASSERT_EQ(2u, ole.getTable().size());
    EXPECT_EQ(L"VisualStudio.DTE.9.0", ole.getTable().at(L"DEVENV.EXE").programmaticId);
    EXPECT_EQ(L"PowerPoint.Application", ole.getTable().at(L"POWERPNT.EXE").programmaticId);
}

} // namespace
