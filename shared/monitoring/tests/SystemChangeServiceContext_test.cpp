// The system change service's context reports: the desktop rescan, the
// window's context and its class, and the reports it ignores.
#include <gtest/gtest.h>

#include "SystemChangeFixture.h"

using namespace systemchangetest;

namespace {

TEST_F(SystemChangeServiceTest, AWindowChangeRescansTheDesktop)
{
    start();
    const native::Window other = m_desktop.openWindow(100, L"Letter.txt - Writer");
    m_desktop.setVisible(m_window, false);
    m_desktop.setForeground(other);
    EXPECT_EQ(nullptr, m_service->getSystemInfo().findWindow(other));
    event(1);
    EXPECT_NE(nullptr, m_service->getSystemInfo().findWindow(other));
    EXPECT_EQ(nullptr, m_service->getSystemInfo().findWindow(m_window));
    EXPECT_EQ(Events{0}, announced());
}

TEST_F(SystemChangeServiceTest, AReportWithoutHwndChangesNothingAndSendsNothing)
{
    start();
    Msg* msg = new Msg();
    msg->setType(Msg::PLUGIN_INFO);
    msg->setAttributeValue(L"ContextString2", std::wstring(L"Plan.txt"));
    msg->setAttributeValue(L"PluginInfoQuality", std::wstring(L"FirstClass"));
    m_framework.internal().pushMessage(msg);
    m_framework.drain();
    EXPECT_TRUE(m_recorder->received.empty());
    EXPECT_EQ(L"", m_service->getSystemInfo().findWindow(m_window)->getParam2());
}

TEST_F(SystemChangeServiceTest, AnHwndStoredAsTextCountsAsMissing)
{
    start();
    Msg* msg = new Msg();
    msg->setType(Msg::PLUGIN_INFO);
    msg->setAttributeValue(L"HWND",
                           std::to_wstring(GenericAppChangeService::handleToInt(m_window)));
    msg->setAttributeValue(L"ContextString2", std::wstring(L"Plan.txt"));
    m_framework.internal().pushMessage(msg);
    m_framework.drain();
    EXPECT_TRUE(m_recorder->received.empty());
}

TEST_F(SystemChangeServiceTest, TwoIdenticalReportsAnnounceOneChange)
{
    start();
    report(m_window, L"", L"Plan.txt", L"Writing", L"ThirdClass");
    report(m_window, L"", L"Plan.txt", L"Writing", L"ThirdClass");
    EXPECT_EQ(Events{1}, announced());
    const TopLevelWindow* window = m_service->getSystemInfo().findWindow(m_window);
    EXPECT_EQ(L"Plan.txt", window->getParam2());
    EXPECT_EQ(L"Writing", window->getParam3());
    EXPECT_EQ(TopLevelWindow::ThirdClass, window->getPluginInfoQuality());
    EXPECT_EQ(1u, m_events.count(1061501));
    EXPECT_NE(std::wstring::npos, lastTrace().find(L" Name:onContextInfoChange"));
}

TEST_F(SystemChangeServiceTest, FirstClassContextIsKeptAgainstASecondClassReport)
{
    start();
    report(m_window, L"Plan", L"Plan.txt", L"Editing", L"FirstClass");
    report(m_window, L"", L"Plan.txt - Writer", L"Unspecified", L"SecondClass");
    EXPECT_EQ(Events{1}, announced());
    const TopLevelWindow* window = m_service->getSystemInfo().findWindow(m_window);
    EXPECT_EQ(L"Plan", window->getParam1());
    EXPECT_EQ(L"Plan.txt", window->getParam2());
    EXPECT_EQ(TopLevelWindow::FirstClass, window->getPluginInfoQuality());
    report(m_window, L"Plan", L"Plan v2.txt", L"Editing", L"FirstClass");
    EXPECT_EQ((Events{1, 1}), announced()) << "a first-class report still passes";
}

TEST_F(SystemChangeServiceTest, AWindowWhoseTitleTicksLikeAClockSettlesOnceItsReportsAreLimited)
{
    start();
    // One report a second, each with the next time in string 2.
    auto tick = [&](int second) {
        report(m_window, L"", L"Stopwatch 00:" + std::to_wstring(100 + second).substr(1),
               L"Unspecified", L"FourthClass");
        montest::runFor(m_framework, m_clock, 1000);
    };
    for (int second = 0; second < 30; ++second)
        tick(second);
    EXPECT_EQ(Events(30, 1), announced()) << "30 reports in a minute are all taken";
    const TopLevelWindow* window = m_service->getSystemInfo().findWindow(m_window);
    EXPECT_TRUE(window->contextInfoPermitted());
    for (int second = 30; second < 40; ++second)
        tick(second);
    EXPECT_FALSE(window->contextInfoPermitted());
    EXPECT_EQ(L"Stopwatch 00:29", window->getParam2()) << "the window keeps its last strings";
    Events expected(30, 1);
    expected.push_back(12);
    EXPECT_EQ(expected, announced())
        << "reports that change nothing the window keeps are no change: the delayed change "
           "follows the last real one by 10 s";
    report(m_window, L"", L"Stopwatch 00:40", L"Timing", L"FourthClass");
    expected.push_back(1);
    EXPECT_EQ(expected, announced()) << "string 3 still follows the reports";
}

TEST_F(SystemChangeServiceTest, MissingStringsReadEmptyAndMissingQualityIsFourthClass)
{
    start();
    Msg* msg = new Msg();
    msg->setType(Msg::PLUGIN_INFO);
    msg->setAttributeValue(L"HWND", GenericAppChangeService::handleToInt(m_window));
    msg->setAttributeValue(L"ContextString2", std::wstring(L"Only two"));
    m_framework.internal().pushMessage(msg);
    m_framework.drain();
    const TopLevelWindow* window = m_service->getSystemInfo().findWindow(m_window);
    EXPECT_EQ(L"", window->getParam1());
    EXPECT_EQ(L"Only two", window->getParam2());
    EXPECT_EQ(L"Unspecified", window->getParam3());
    EXPECT_EQ(TopLevelWindow::FourthClass, window->getPluginInfoQuality());
    EXPECT_EQ(Events{1}, announced());
}

TEST_F(SystemChangeServiceTest, AReportForAnUnknownWindowSendsNothing)
{
    start();
    report(GenericAppChangeService::intToHandle(0x7777), L"", L"x", L"y", L"FirstClass");
    EXPECT_TRUE(m_recorder->received.empty());
}

} // namespace
