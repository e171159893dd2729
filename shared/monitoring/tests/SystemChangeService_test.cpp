// The system change service: what each presence event and context report
// does to the System, what it announces and traces, and the delayed change
// that follows the last change by ten seconds.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MonitoringFramework.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/SystemChangeService.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using Events = std::vector<int>;

class SystemChangeServiceTest : public ::testing::Test {
protected:
    SystemChangeServiceTest()
    {
        m_desktop.useClock(m_clock);
        m_desktop.startProcess(100, program(L"writer.exe"));
        m_window = m_desktop.openWindow(100, L"Plan.txt - Writer");
        m_desktop.setForeground(m_window);
    }

    // Builds the service (and so the System) on the desktop as it is now.
    void start()
    {
        m_service = m_framework.add(new SystemChangeService(m_desktop, m_clock));
        m_recorder = m_framework.add(new montest::MsgRecorder({Msg::SYSTEM_CHANGE_SERVICE}));
        ASSERT_TRUE(m_framework.setup());
    }

    std::wstring program(const std::wstring& name)
    {
        const std::wstring path = m_folder.file(name);
        testsupport::writeFile(path, std::string("MZ"));
        return path;
    }

    // A SYSTEM_EVENT as a monitor sends it, routed by the framework.
    void event(int id, const wchar_t* reason = nullptr, int duration = -1)
    {
        Msg* msg = new Msg();
        msg->setType(Msg::SYSTEM_EVENT);
        msg->setAttributeValue(L"EventID", id);
        if (reason != nullptr)
            msg->setAttributeValue(L"ContextString1", std::wstring(reason));
        if (duration >= 0)
            msg->setAttributeValue(L"Duration", duration);
        m_framework.internal().pushMessage(msg);
        m_framework.drain();
    }

    void report(native::Window window, const std::wstring& s1, const std::wstring& s2,
                const std::wstring& s3, const std::wstring& quality)
    {
        Msg* msg = new Msg();
        msg->setType(Msg::PLUGIN_INFO);
        msg->setAttributeValue(L"HWND", GenericAppChangeService::handleToInt(window));
        msg->setAttributeValue(L"ContextString1", s1);
        msg->setAttributeValue(L"ContextString2", s2);
        msg->setAttributeValue(L"ContextString3", s3);
        msg->setAttributeValue(L"PluginInfoQuality", quality);
        m_framework.internal().pushMessage(msg);
        m_framework.drain();
    }

    Events announced() const { return m_recorder->numbers(L"SystemChangeEvent"); }
    void run(int64_t ms) { montest::runFor(m_framework, m_clock, ms); }
    UserStatus& status() { return m_service->getSystemInfo().getUserStatus(); }
    // The details of the last "New Event:" trace.
    std::wstring lastTrace() const
    {
        const auto traces = m_events.withId(1061501);
        return traces.empty() ? std::wstring(L"<none>") : traces.back().details;
    }

    testsupport::EventRecorder m_events;
    testsupport::TempFolder m_folder{L"changes"};
    ScriptedDesktop m_desktop;
    ManualClock m_clock;
    montest::TestFramework m_framework{m_clock};
    native::Window m_window = nullptr;
    SystemChangeService* m_service = nullptr;
    montest::MsgRecorder* m_recorder = nullptr;
};

TEST_F(SystemChangeServiceTest, TakesSystemEventsAndContextReportsOnly)
{
    start();
    for (int type = 0; type <= 20; ++type) {
        Msg msg;
        msg.setType(static_cast<Msg::MsgType>(type));
        EXPECT_EQ(type == Msg::SYSTEM_EVENT || type == Msg::PLUGIN_INFO,
                  m_service->canProcessMsg(msg))
            << "type " << type;
    }
}

struct StateCase {
    int eventId;
    int announced;
    const wchar_t* trace;
};

TEST_F(SystemChangeServiceTest, EachPresenceEventUpdatesTheStatusAndIsAnnouncedOnce)
{
    start();
    const StateCase cases[] = {
        {4, 2, L"onUserIdle"},       {5, 3, L"onUserActive"},       {12, 10, L"onPCLock"},
        {13, 11, L"onPCUnlock"},     {6, 4, L"onUserAtMeeting"},    {9, 7, L"onUserStopMeeting"},
        {8, 6, L"onUserPrivacy"},    {11, 9, L"onUserStopPrivacy"}, {7, 5, L"onUserOnPhone"},
        {10, 8, L"onUserStopPhone"}, {1, 0, L"onWindowChange"},     {2, 0, L"onWindowChange"},
        {3, 0, L"onWindowChange"},
    };
    for (const StateCase& c : cases) {
        m_recorder->received.clear();
        m_events.clear();
        event(c.eventId, L"why", 60);
        EXPECT_EQ(Events{c.announced}, announced()) << "EventID " << c.eventId;
        ASSERT_EQ(1u, m_events.count(1061501)) << "EventID " << c.eventId;
        EXPECT_EQ(L" Name:" + std::wstring(c.trace), lastTrace().substr(0, 6 + wcslen(c.trace)))
            << "EventID " << c.eventId;
        switch (c.eventId) {
        case 4:
            EXPECT_TRUE(status().idle());
            break;
        case 5:
            EXPECT_FALSE(status().idle());
            break;
        case 12:
            EXPECT_TRUE(status().locked());
            break;
        case 13:
            EXPECT_FALSE(status().locked());
            break;
        case 6:
            EXPECT_TRUE(status().atMeeting());
            EXPECT_EQ(L"why", status().reason());
            break;
        case 9:
            EXPECT_FALSE(status().atMeeting());
            EXPECT_EQ(L"", status().reason());
            break;
        case 8:
            EXPECT_TRUE(status().isPrivate());
            break;
        case 11:
            EXPECT_FALSE(status().isPrivate());
            break;
        case 7:
            EXPECT_TRUE(status().onPhone());
            EXPECT_EQ(L"why", status().reason());
            break;
        case 10:
            EXPECT_FALSE(status().onPhone());
            EXPECT_EQ(L"", status().reason());
            break;
        default:
            break;
        }
    }
}

TEST_F(SystemChangeServiceTest, UnknownEventIdsAnnounceNothing)
{
    start();
    for (int id : {0, 14, 99, -1}) {
        event(id);
        EXPECT_TRUE(m_recorder->received.empty()) << "EventID " << id;
    }
    EXPECT_EQ(0u, m_events.count(1061501));
    Msg* bare = new Msg();
    bare->setType(Msg::SYSTEM_EVENT);
    m_framework.internal().pushMessage(bare);
    m_framework.drain();
    EXPECT_TRUE(m_recorder->received.empty()) << "no EventID reads as 0";
}

TEST_F(SystemChangeServiceTest, AMeetingStoresItsDurationAndStartsNowByTheClock)
{
    start();
    m_clock.set(1712000000);
    event(6, L"Budget review", 1800);
    EXPECT_EQ(1800, status().duration());
    EXPECT_EQ(1712000000, status().start());
    EXPECT_TRUE(status().atMeeting());
    EXPECT_EQ(L"Budget review", status().reason());
}

TEST_F(SystemChangeServiceTest, PrivateTimeStoresItsDurationAndAMissingDurationReadsZero)
{
    start();
    m_clock.set(1712000500);
    event(8, nullptr, 300);
    EXPECT_TRUE(status().isPrivate());
    EXPECT_EQ(300, status().duration());
    EXPECT_EQ(1712000500, status().start());
    m_clock.set(1712009999);
    event(6, L"Stand-up");
    EXPECT_EQ(0, status().duration());
    EXPECT_EQ(1712009999, status().start());
}

TEST_F(SystemChangeServiceTest, APhoneCallWithoutReasonHasAnEmptyReasonAndKeepsTheDuration)
{
    start();
    event(6, L"Budget review", 900);
    event(7);
    EXPECT_TRUE(status().onPhone());
    EXPECT_EQ(L"", status().reason());
    EXPECT_EQ(900, status().duration()) << "a phone call has no duration of its own";
}

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

TEST_F(SystemChangeServiceTest, TheFirstDelayedChangeComesTenSecondsAfterStartWithoutChanges)
{
    start();
    run(9900);
    EXPECT_TRUE(m_recorder->received.empty());
    run(100);
    EXPECT_EQ(Events{12}, announced());
    EXPECT_NE(std::wstring::npos, lastTrace().find(L" Name:onDelayedSystemChange"));
    run(60000);
    EXPECT_EQ(Events{12}, announced()) << "one shot: nothing more without a change";
}

TEST_F(SystemChangeServiceTest, EverySystemEventEvenAnUnknownOnePostponesTheDelayedChange)
{
    start();
    run(6000);
    event(99);
    run(9900);
    EXPECT_TRUE(m_recorder->received.empty()) << "postponed to 16 s";
    run(100);
    EXPECT_EQ(Events{12}, announced());

    event(4); // idle at 16 s
    run(5000);
    event(5); // active at 21 s
    run(9900);
    EXPECT_EQ((Events{12, 2, 3}), announced());
    run(100);
    EXPECT_EQ((Events{12, 2, 3, 12}), announced());
}

TEST_F(SystemChangeServiceTest, AContextChangePostponesTheDelayedChangeAndARepeatDoesNot)
{
    start();
    run(5000);
    report(m_window, L"", L"A", L"Unspecified", L"ThirdClass");
    run(5000);
    report(m_window, L"", L"A", L"Unspecified", L"ThirdClass"); // the same again
    run(4900);
    EXPECT_EQ(Events{1}, announced()) << "the delayed change is due 10 s after the change";
    run(100);
    EXPECT_EQ((Events{1, 12}), announced());
}

TEST_F(SystemChangeServiceTest, TheTraceOfADetectedChangeShowsTheNewStateAndComesBeforeTheMessage)
{
    start();
    std::vector<size_t> tracesAtSend;
    m_framework.internal().onPush = [&](const Msg& msg) {
        if (msg.getType() == Msg::SYSTEM_CHANGE_SERVICE)
            tracesAtSend.push_back(m_events.count(1061501));
    };
    event(4);
    EXPECT_EQ(L" Name:onUserIdle State:Idle", lastTrace());
    event(12);
    EXPECT_EQ(L" Name:onPCLock State:Locked", lastTrace());
    event(13);
    EXPECT_EQ(L" Name:onPCUnlock State:Idle", lastTrace()) << "unlocked, still idle";
    event(9);
    EXPECT_EQ(L" Name:onUserStopMeeting State:Idle", lastTrace());
    EXPECT_EQ((std::vector<size_t>{1, 2, 3, 4}), tracesAtSend)
        << "each message is sent after its trace";
}

TEST_F(SystemChangeServiceTest, TheTraceOfAnActiveUserNamesTheApplicationAndTheContext)
{
    start();
    report(m_window, L"One", L"Two", L"Three", L"FirstClass");
    const std::wstring path = m_folder.file(L"writer.exe");
    // The stand-in executable has no resources: its icon cannot be read,
    // so its version fields stay empty (Application's data steps stop
    // there); the path and the window's strings are what it shows.
    EXPECT_EQ(L" Name:onContextInfoChange State:Active OriginalFilename: S1:One S2:Two"
              L" S3:Three FileDescription: InternalName: FileVersion: ProductName:"
              L" ProductVersion: CompanyName: FilePath:" +
                  path,
              lastTrace());
    const auto trace = m_events.find(1061501);
    EXPECT_EQ(L"New Event:", trace.description);
    EXPECT_EQ(0, trace.type);
    EXPECT_FALSE(trace.logged) << "traced, not logged";
}

TEST_F(SystemChangeServiceTest, WithoutAnActiveWindowTheActiveTraceHasEmptyDetails)
{
    m_desktop.setForeground(nullptr);
    start();
    event(5);
    EXPECT_EQ(L" Name:onUserActive State:Active OriginalFilename: S1: S2: S3: FileDescription:"
              L" InternalName: FileVersion: ProductName: ProductVersion: CompanyName: FilePath:",
              lastTrace());
}

TEST_F(SystemChangeServiceTest, GivesOutTheSystemItOwns)
{
    start();
    System& system = m_service->getSystemInfo();
    EXPECT_EQ(&m_desktop, &system.getDesktop());
    EXPECT_EQ(&m_clock, &system.getClock());
    EXPECT_NE(nullptr, system.findWindow(m_window));
}

TEST(SystemChangeEventNameTest, NamesFollowTheEventValues)
{
    const wchar_t* names[] = {
        L"onWindowChange",       L"onContextInfoChange", L"onUserIdle",    L"onUserActive",
        L"onUserAtMeeting",      L"onUserOnPhone",       L"onUserPrivacy", L"onUserStopMeeting",
        L"onUserStopPhone",      L"onUserStopPrivacy",   L"onPCLock",      L"onPCUnlock",
        L"onDelayedSystemChange"};
    for (int i = 0; i < 13; ++i)
        EXPECT_STREQ(names[i], SystemChangeService::getEventName(i));
    EXPECT_EQ(nullptr, SystemChangeService::getEventName(13));
    EXPECT_EQ(nullptr, SystemChangeService::getEventName(-1));
}

} // namespace
