// The foreground tracking: what it reports for a window, and the message it
// sends once a second.
#include <gtest/gtest.h>

#include <string>

#include "MonitoringFramework.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using Report = GenericAppChangeService::Report;

class Rules : public TitlebarTextExtractor {
public:
    explicit Rules(const std::string& text) : TitlebarTextExtractor(std::wstring())
    {
        readApplicationRules(text);
    }
};

class DescribeTest : public ::testing::Test {
protected:
    testsupport::EventRecorder m_events;
    Rules m_rules{"[WINWORD.EXE]\n"
                  "ACTIVITY=\"Writing\"\n"
                  "STRING2_DELETE_AFTER=\" - Word\"\n"
                  "STRING1_DELETE_BEFORE=\" - \"\n"};
    OLETextExtractor m_automation;
    IntelligentTitlebarTextExtractor m_split;

    Report describe(const std::wstring& key, const std::wstring& description,
                    const std::wstring& title)
    {
        return GenericAppChangeService::describe(m_rules, m_automation, m_split, nullptr, key,
                                                 description, title);
    }
};

TEST_F(DescribeTest, TitleMatchingTheRulesIsSecondClass)
{
    const Report r = describe(L"WINWORD.EXE", L"Microsoft Word", L"Report.docx - Word");
    EXPECT_EQ(L"SecondClass", r.quality);
    EXPECT_EQ(L"Report.docx", r.string2);
    EXPECT_EQ(L"Word", r.string1);
    EXPECT_EQ(L"Writing", r.string3);
}

TEST_F(DescribeTest, TitleFailingAMandatoryRuleIsFourthClassWithTheWholeTitle)
{
    const Report r = describe(L"WINWORD.EXE", L"Microsoft Word", L"Word");
    EXPECT_EQ(L"FourthClass", r.quality);
    EXPECT_EQ(L"Word", r.string2);
    EXPECT_EQ(L"", r.string1);
    EXPECT_EQ(L"Writing", r.string3) << "the ACTIVITY rule ran before the failure";
}

TEST_F(DescribeTest, DocumentDashApplicationWithoutRulesIsThirdClass)
{
    const Report r = describe(L"NOTEPAD.EXE", L"Notepad", L"Plan.txt - Notepad");
    EXPECT_EQ(L"ThirdClass", r.quality);
    EXPECT_EQ(L"Plan.txt", r.string2);
    EXPECT_EQ(L"", r.string1);
    EXPECT_EQ(L"Unspecified", r.string3);
}

TEST_F(DescribeTest, SplitThatMatchesNeitherHalfIsFourthClass)
{
    const Report r = describe(L"NOTEPAD.EXE", L"Notepad", L"Alpha - Beta - Gamma");
    EXPECT_EQ(L"FourthClass", r.quality);
    EXPECT_EQ(L"Alpha - Beta - Gamma", r.string2);
}

TEST_F(DescribeTest, TitleWithoutSeparatorOrRulesIsFourthClass)
{
    const Report r = describe(L"CALC.EXE", L"Calculator", L"Calculator");
    EXPECT_EQ(L"FourthClass", r.quality);
    EXPECT_EQ(L"Calculator", r.string2);
    EXPECT_EQ(L"", r.string1);
    EXPECT_EQ(L"Unspecified", r.string3);
}

TEST(GenericAppChangeServiceTest, HandlesTravelAsThirtyTwoBitIntegers)
{
    for (int value : {0, 1, 0x10010, 0x7FFFFFFF, -2, static_cast<int>(0x80000000u)})
        EXPECT_EQ(value, GenericAppChangeService::handleToInt(
                             GenericAppChangeService::intToHandle(value)));
}

TEST(GenericAppChangeServiceTest, PluginInfoCarriesTheTabledAttributes)
{
    Report r;
    r.string1 = L"one";
    r.string2 = L"two";
    r.string3 = L"three";
    r.quality = L"ThirdClass";
    std::unique_ptr<Msg> msg(
        GenericAppChangeService::buildPluginInfo(GenericAppChangeService::intToHandle(0x2468), r));
    EXPECT_EQ(Msg::PLUGIN_INFO, msg->getType());
    int hwnd = 0;
    ASSERT_TRUE(msg->getAttributeValue(L"HWND", hwnd));
    EXPECT_EQ(0x2468, hwnd);
    std::wstring text;
    ASSERT_TRUE(msg->getAttributeValue(L"ContextString1", text));
    EXPECT_EQ(L"one", text);
    ASSERT_TRUE(msg->getAttributeValue(L"ContextString2", text));
    EXPECT_EQ(L"two", text);
    ASSERT_TRUE(msg->getAttributeValue(L"ContextString3", text));
    EXPECT_EQ(L"three", text);
    ASSERT_TRUE(msg->getAttributeValue(L"PluginInfoQuality", text));
    EXPECT_EQ(L"ThirdClass", text);
    EXPECT_EQ(2, msg->getIntAttributeCount());
    EXPECT_EQ(4, msg->getStringAttributeCount());
    EXPECT_EQ(0, msg->getByteArrayAttributeCount());
}

class ForegroundTrackingTest : public ::testing::Test {
protected:
    testsupport::EventRecorder m_events;
    testsupport::TempFolder m_folder{L"tracking"};
    ScriptedDesktop m_desktop;
    ManualClock m_clock;

    std::wstring program(const std::wstring& name)
    {
        const std::wstring path = m_folder.file(name);
        testsupport::writeFile(path, std::string("MZ"));
        return path;
    }

    static std::wstring text(const Msg& msg, const wchar_t* name)
    {
        std::wstring value = L"<missing>";
        msg.getAttributeValue(name, value);
        return value;
    }
    static int handle(const Msg& msg)
    {
        int value = -1;
        msg.getAttributeValue(L"HWND", value);
        return value;
    }
};

TEST_F(ForegroundTrackingTest, EveryTickSendsOneReportForTheForegroundWindowEvenWhenNothingChanged)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    const native::Window a = m_desktop.openWindow(100, L"Quarterly figures");
    m_desktop.setForeground(a);
    System system(m_desktop, m_clock);
    montest::TestFramework framework;
    auto* tracking = framework.add(new GenericAppChangeService(system, m_folder.file(L"none.txt")));
    auto* recorder = framework.add(new montest::PluginInfoRecorder());

    tracking->onTimer();
    EXPECT_TRUE(recorder->received.empty()) << "sent on the internal device, seen in a later pulse";
    framework.drain();
    tracking->onTimer();
    framework.drain();
    ASSERT_EQ(2u, recorder->received.size());
    for (const Msg& msg : recorder->received) {
        EXPECT_EQ(GenericAppChangeService::handleToInt(a), handle(msg));
        EXPECT_EQ(L"", text(msg, L"ContextString1"));
        EXPECT_EQ(L"Quarterly figures", text(msg, L"ContextString2"));
        EXPECT_EQ(L"Unspecified", text(msg, L"ContextString3"));
        EXPECT_EQ(L"FourthClass", text(msg, L"PluginInfoQuality"));
    }

    m_desktop.setTitle(a, L"Quarterly figures (2)");
    tracking->onTimer();
    framework.drain();
    ASSERT_EQ(3u, recorder->received.size());
    EXPECT_EQ(L"Quarterly figures (2)", text(recorder->received[2], L"ContextString2"));
}

TEST_F(ForegroundTrackingTest, MinimisedForegroundWindowReportsTheShellWindow)
{
    m_desktop.startProcess(4, program(L"shell.exe"));
    m_desktop.startProcess(100, program(L"writer.exe"));
    const native::Window shell = m_desktop.openWindow(4, L"Program Manager");
    const native::Window a = m_desktop.openWindow(100, L"Draft");
    m_desktop.setShell(shell);
    m_desktop.setForeground(a);
    m_desktop.setMinimised(a, true);
    System system(m_desktop, m_clock);
    montest::TestFramework framework;
    auto* tracking = framework.add(new GenericAppChangeService(system, m_folder.file(L"none.txt")));
    auto* recorder = framework.add(new montest::PluginInfoRecorder());
    tracking->onTimer();
    framework.drain();
    ASSERT_EQ(1u, recorder->received.size());
    EXPECT_EQ(GenericAppChangeService::handleToInt(shell), handle(recorder->received[0]));
    EXPECT_EQ(L"Program Manager", text(recorder->received[0], L"ContextString2"));
}

TEST_F(ForegroundTrackingTest, NoActiveWindowSendsNothing)
{
    System system(m_desktop, m_clock);
    montest::TestFramework framework;
    auto* tracking = framework.add(new GenericAppChangeService(system, m_folder.file(L"none.txt")));
    auto* recorder = framework.add(new montest::PluginInfoRecorder());
    tracking->onTimer();
    framework.drain();
    EXPECT_TRUE(recorder->received.empty());
}

TEST_F(ForegroundTrackingTest, TimerTicksEverySecondAfterSetup)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    m_desktop.setForeground(m_desktop.openWindow(100, L"Notes"));
    System system(m_desktop, m_clock);
    montest::TestFramework framework;
    auto* tracking = framework.add(new GenericAppChangeService(system, m_folder.file(L"none.txt")));
    auto* recorder = framework.add(new montest::PluginInfoRecorder());
    ASSERT_TRUE(framework.setup());
    Msg probe;
    probe.setType(Msg::PLUGIN_INFO);
    EXPECT_FALSE(tracking->canProcessMsg(probe)) << "the service only sends";
    ASSERT_TRUE(testsupport::eventually([&] {
        framework.pulse();
        return recorder->received.size() >= 2;
    }));
    EXPECT_EQ(L"Notes", text(recorder->received[1], L"ContextString2"));
}

} // namespace
