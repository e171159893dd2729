// The delayed change ten seconds after the last change, and the traces of
// the changes the service detects.
#include <gtest/gtest.h>

#include "SystemChangeFixture.h"

using namespace systemchangetest;

namespace {

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

} // namespace
