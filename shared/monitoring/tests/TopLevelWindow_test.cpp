// Context reports on the system model's windows: which report may replace
// which, the report-rate limit, and how titles are cut and traced.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "base/Exception.h"
#include "base/Utf16.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/MonitoringException.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "SystemFixture.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using Quality = TopLevelWindow::PluginInfoQuality;

TEST_F(SystemTest, SecondClassReportCannotReplaceFirstClassContext)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    const native::Window a = m_desktop.openWindow(100, L"A");
    SystemProbe system(m_desktop, m_clock);
    EXPECT_TRUE(
        system.setContextInfo(a, L"s1", L"Report.docx", L"Writing", TopLevelWindow::FirstClass));
    EXPECT_FALSE(
        system.setContextInfo(a, L"x", L"title", L"Unspecified", TopLevelWindow::SecondClass));
    EXPECT_FALSE(
        system.setContextInfo(a, L"x", L"title", L"Unspecified", TopLevelWindow::FourthClass));
    const TopLevelWindow* w = system.findWindow(a);
    EXPECT_EQ(L"Report.docx", w->getParam2());
    EXPECT_EQ(TopLevelWindow::FirstClass, w->getPluginInfoQuality());
    EXPECT_TRUE(
        system.setContextInfo(a, L"s1", L"Other.docx", L"Writing", TopLevelWindow::FirstClass));
    EXPECT_EQ(L"Other.docx", system.findWindow(a)->getParam2());
}

TEST_F(SystemTest, UnknownWindowTakesNoContext)
{
    SystemProbe system(m_desktop, m_clock);
    EXPECT_FALSE(
        system.setContextInfo(reinterpret_cast<native::Window>(static_cast<uintptr_t>(0x4444)),
                              L"a", L"b", L"c", TopLevelWindow::FirstClass));
}

TEST_F(SystemTest, ThirtyFirstLowerClassReportWithinAMinuteTripsTheLimit)
{
    m_desktop.startProcess(100, program(L"clock.exe"));
    const native::Window a = m_desktop.openWindow(100, L"A");
    SystemProbe system(m_desktop, m_clock);
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(system.setContextInfo(a, L"", L"12:00:" + std::to_wstring(i), L"Unspecified",
                                          TopLevelWindow::FourthClass));
        m_clock.advance(1);
    }
    const TopLevelWindow* w = system.findWindow(a);
    EXPECT_TRUE(w->contextInfoPermitted());
    EXPECT_EQ(L"12:00:29", w->getParam2());

    // The 31st within the minute: strings 1 and 2 stay, string 3 and the
    // quality follow, and the change is still reported.
    EXPECT_TRUE(
        system.setContextInfo(a, L"new", L"12:00:30", L"Timing", TopLevelWindow::ThirdClass));
    EXPECT_FALSE(w->contextInfoPermitted());
    EXPECT_EQ(L"", w->getParam1());
    EXPECT_EQ(L"12:00:29", w->getParam2());
    EXPECT_EQ(L"Timing", w->getParam3());
    EXPECT_EQ(TopLevelWindow::ThirdClass, w->getPluginInfoQuality());

    // For good: hours later nothing lower-class reaches strings 1 and 2.
    m_clock.advance(5 * 3600);
    EXPECT_TRUE(system.setContextInfo(a, L"later", L"13:00:00", L"Unspecified",
                                      TopLevelWindow::SecondClass));
    EXPECT_EQ(L"12:00:29", w->getParam2());
    EXPECT_EQ(L"Unspecified", w->getParam3());

    // A first-class report always passes.
    EXPECT_TRUE(
        system.setContextInfo(a, L"plug", L"Doc.docx", L"Writing", TopLevelWindow::FirstClass));
    EXPECT_EQ(L"plug", w->getParam1());
    EXPECT_EQ(L"Doc.docx", w->getParam2());
}

TEST_F(SystemTest, ThirtyReportsSpreadOverMoreThanAMinuteStayPermitted)
{
    m_desktop.startProcess(100, program(L"clock.exe"));
    const native::Window a = m_desktop.openWindow(100, L"A");
    SystemProbe system(m_desktop, m_clock);
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(system.setContextInfo(a, L"", L"t" + std::to_wstring(i), L"Unspecified",
                                          TopLevelWindow::FourthClass));
        m_clock.advance(3); // 20 a minute
    }
    EXPECT_TRUE(system.findWindow(a)->contextInfoPermitted());
    EXPECT_EQ(L"t59", system.findWindow(a)->getParam2());
}

TEST_F(SystemTest, HundredReportsInTenMinutesTripTheLimit)
{
    expectLimitTripsAfter(100, 6, TopLevelWindow::SecondClass); // 10 a minute
}

TEST_F(SystemTest, TwoHundredReportsInAnHourTripTheLimit)
{
    expectLimitTripsAfter(200, 18, TopLevelWindow::ThirdClass); // 33 in ten minutes
}

TEST_F(SystemTest, IdenticalReportIsNoChangeAndNoClick)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    const native::Window a = m_desktop.openWindow(100, L"A");
    SystemProbe system(m_desktop, m_clock);
    EXPECT_TRUE(
        system.setContextInfo(a, L"", L"same", L"Unspecified", TopLevelWindow::FourthClass));
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(
            system.setContextInfo(a, L"", L"same", L"Unspecified", TopLevelWindow::FourthClass));
    // Only one click so far: 29 more changes still fit in the minute.
    for (int i = 0; i < 29; ++i)
        EXPECT_TRUE(system.setContextInfo(a, L"", L"c" + std::to_wstring(i), L"Unspecified",
                                          TopLevelWindow::FourthClass));
    EXPECT_TRUE(system.findWindow(a)->contextInfoPermitted());
    EXPECT_EQ(L"c28", system.findWindow(a)->getParam2());
    // A change of quality alone is a change.
    EXPECT_TRUE(system.setContextInfo(a, L"", L"c28", L"Unspecified", TopLevelWindow::ThirdClass));
}

// Titles ---------------------------------------------------------------

TEST_F(SystemTest, LongTitleIsCutAt499UnitsAndNeverInsideASurrogatePair)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    // 498 units, then U+1F600 (two units): the cut falls between its halves.
    const std::wstring smile = Utf16::fromUnits(u"\xD83D\xDE00");
    const native::Window a = m_desktop.openWindow(100, std::wstring(498, L'a') + smile + L"tail");
    const native::Window b = m_desktop.openWindow(100, std::wstring(497, L'b') + smile + L"tail");
    m_desktop.setForeground(a);
    SystemProbe system(m_desktop, m_clock);
    TopLevelWindow* wa = const_cast<TopLevelWindow*>(system.findWindow(a));
    TopLevelWindow* wb = const_cast<TopLevelWindow*>(system.findWindow(b));
    ASSERT_NE(nullptr, wa);
    ASSERT_NE(nullptr, wb);
    EXPECT_EQ(std::wstring(498, L'a'), wa->getTitleBarText());
    const std::wstring titleB = wb->getTitleBarText();
    EXPECT_EQ(std::wstring(497, L'b') + smile, titleB);
    EXPECT_EQ(499u, Utf16::unitCount(titleB));
    // What leaves the process decodes cleanly.
    EXPECT_EQ(std::string::npos, Utf16::toUtf8(wa->getTitleBarText()).find("\xEF\xBF\xBD"));
}

TEST_F(SystemTest, EmptyOrUnreadableTitleIsTracedOncePerWindow)
{
    const std::wstring writer = program(L"writer.exe");
    m_desktop.startProcess(100, writer);
    const native::Window a = m_desktop.openWindow(100, L"");
    const native::Window b = m_desktop.openWindow(100, L"fine");
    SystemProbe system(m_desktop, m_clock);
    TopLevelWindow* wa = const_cast<TopLevelWindow*>(system.findWindow(a));
    TopLevelWindow* wb = const_cast<TopLevelWindow*>(system.findWindow(b));
    m_events.clear();
    EXPECT_EQ(L"", wa->getTitleBarText());
    EXPECT_EQ(L"", wa->getTitleBarText());
    EXPECT_EQ(1u, m_events.count(1062411));
    const testsupport::CapturedEvent e = m_events.find(1062411);
    EXPECT_NE(std::wstring::npos, e.details.find(L"Application:" + writer));
    EXPECT_NE(std::wstring::npos, e.details.find(L"HWND:0x10010"));

    EXPECT_EQ(L"fine", wb->getTitleBarText());
    m_desktop.makeTitleUnreadable(b, 1400);
    EXPECT_EQ(L"", wb->getTitleBarText());
    EXPECT_EQ(L"", wb->getTitleBarText());
    EXPECT_EQ(2u, m_events.count(1062411));
    EXPECT_NE(std::wstring::npos,
              m_events.withId(1062411)[1].details.find(L"System Error ID: 1400"));
}

TEST_F(SystemTest, QualityTextsConvertExactly)
{
    EXPECT_EQ(TopLevelWindow::FirstClass,
              TopLevelWindow::ConvertToPluginInfoQuality(L"FirstClass"));
    EXPECT_EQ(TopLevelWindow::SecondClass,
              TopLevelWindow::ConvertToPluginInfoQuality(L"SecondClass"));
    EXPECT_EQ(TopLevelWindow::ThirdClass,
              TopLevelWindow::ConvertToPluginInfoQuality(L"ThirdClass"));
    EXPECT_EQ(TopLevelWindow::FourthClass,
              TopLevelWindow::ConvertToPluginInfoQuality(L"FourthClass"));
    EXPECT_EQ(TopLevelWindow::FourthClass, TopLevelWindow::ConvertToPluginInfoQuality(L""));
    EXPECT_EQ(TopLevelWindow::FourthClass,
              TopLevelWindow::ConvertToPluginInfoQuality(L"firstclass"));
    EXPECT_EQ(TopLevelWindow::FourthClass,
              TopLevelWindow::ConvertToPluginInfoQuality(L"FirstClass "));
    for (int q = 0; q < 4; ++q)
        EXPECT_EQ(q, TopLevelWindow::ConvertToPluginInfoQuality(
                         TopLevelWindow::qualityText(static_cast<Quality>(q))));
}

// The counter -------------------------------------------------------------

TEST(ClickerTest, CountsPerMinuteTenMinutesAndHour)
{
    ManualClock clock(10000);
    Clicker clicker(clock);
    clicker.click(); // 10000
    clock.set(10000 + 3000);
    clicker.click(); // 13000
    clock.set(13000 + 540);
    clicker.click();       // 13540
    clock.set(13540 + 60); // now 13600
    int minute = -1, tenMinutes = -1, hour = -1;
    clicker.getClickCounts(minute, tenMinutes, hour);
    EXPECT_EQ(1, minute);     // 13540 is exactly now - 60
    EXPECT_EQ(2, tenMinutes); // 13000 is exactly now - 600
    EXPECT_EQ(3, hour);       // 10000 is exactly now - 3600
    EXPECT_EQ(3u, clicker.size());
    clock.advance(1);
    clicker.getClickCounts(minute, tenMinutes, hour);
    EXPECT_EQ(0, minute);
    EXPECT_EQ(1, tenMinutes);
    EXPECT_EQ(2, hour);
    EXPECT_EQ(2u, clicker.size()) << "the click before the cut-off is dropped";
}

TEST(ClickerTest, RetentionPeriodDecidesWhatIsKept)
{
    ManualClock clock(5000);
    Clicker clicker(clock);
    EXPECT_EQ(3600, clicker.getClickRetentionPeriod());
    clicker.setClickRetentionPeriod(100);
    clicker.click();
    clock.advance(100);
    int m = 0, t = 0, h = 0;
    clicker.getClickCounts(m, t, h);
    EXPECT_EQ(1u, clicker.size()) << "a click exactly at the cut-off stays";
    clock.advance(1);
    clicker.getClickCounts(m, t, h);
    EXPECT_EQ(0u, clicker.size());
    EXPECT_EQ(0, h);
}

} // namespace
