// What the presence monitors ask of the real desktop: the tick count, the
// last input, the input desktop and the screen saver. Under Wine on Xvfb
// nobody locks the session and no screen saver runs, so the desktop reads
// as unlocked; a locked workstation cannot be brought about here.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "MonitoringFramework.h"
#include "RealDesktopFixture.h"
#include "base/win32/WindowsSupport.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/IdleUserMonitorService.h"
#include "shared/monitoring/PCLockedMonitorService.h"
#include "shared/monitoring/System.h"
#include "testsupport/TestSupport.h"

using namespace desktoptest;

namespace {

// A one-pixel mouse move there and back through the system's input queue.
bool moveTheMouse()
{
    INPUT input[2] = {};
    input[0].type = INPUT_MOUSE;
    input[0].mi.dx = 1;
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE;
    input[1] = input[0];
    input[1].mi.dx = -1;
    return SendInput(2, input, sizeof(INPUT)) == 2;
}

TEST_F(RealDesktopTest, TheTickCountIsTheSystemsAndMovesOn)
{
    const uint32_t before = GetTickCount();
    const uint32_t ours = m_desktop.tickCount();
    const uint32_t clock = Clock::system().tickCount();
    EXPECT_GE(static_cast<int32_t>(ours - before), 0);
    EXPECT_GE(static_cast<int32_t>(clock - ours), 0);
    EXPECT_GE(static_cast<int32_t>(GetTickCount() - clock), 0);
    ASSERT_TRUE(testsupport::eventually(
        [&] { return static_cast<int32_t>(m_desktop.tickCount() - ours) > 0; }));
}

TEST_F(RealDesktopTest, TheLastInputTimeIsATickCountNotInTheFuture)
{
    uint32_t last = 0xdeadbeef;
    unsigned long error = 0xdeadbeef;
    ASSERT_TRUE(m_desktop.lastInputTick(last, error));
    EXPECT_EQ(0u, error);
    EXPECT_NE(0xdeadbeefu, last);
    LASTINPUTINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetLastInputInfo(&info));
    EXPECT_GE(static_cast<int32_t>(info.dwTime - last), 0) << "read again, never earlier";
    EXPECT_GE(static_cast<int32_t>(m_desktop.tickCount() - last), 0);
}

TEST_F(RealDesktopTest, SyntheticInputMovesTheLastInputTime)
{
    // Wine counts input sent through SendInput as the session's input, as
    // Windows does; until some arrives it reports the time the session
    // started, so an idle check right after start-up finds the machine's
    // whole uptime without input.
    const uint32_t before = m_desktop.tickCount();
    ASSERT_TRUE(moveTheMouse());
    uint32_t last = 0;
    unsigned long error = 0;
    ASSERT_TRUE(testsupport::eventually([&] {
        return m_desktop.lastInputTick(last, error) && static_cast<int32_t>(last - before) >= 0;
    })) << "the last input stayed at "
        << last << ", before the move at " << before;
}

TEST_F(RealDesktopTest, AnUnlockedDesktopReadsAsUnlocked)
{
    std::wstring name = L"prefilled";
    unsigned long error = 0xdeadbeef;
    EXPECT_EQ(Desktop::DesktopAccess::Readable,
              m_desktop.inputDesktop(PCLockedMonitorService::DesktopNameBufferBytes, name, error));
    EXPECT_EQ(0u, error);
    EXPECT_EQ(L"Default", name);
    EXPECT_FALSE(m_desktop.screenSaverRunning());
    EXPECT_TRUE(m_desktop.openDesktop(L"Default", error));
    EXPECT_EQ(0u, error);

    PCLockedMonitorService monitor(m_desktop);
    EXPECT_TRUE(monitor.canAccessDesktop());
    EXPECT_FALSE(monitor.isScreenSaverActiveNT5());
    EXPECT_FALSE(monitor.isPCLocked());
    EXPECT_FALSE(monitor.isScreenSaverActiveNT4()) << "no desktop \"screen-saver\" exists";
    EXPECT_FALSE(m_desktop.openDesktop(L"screen-saver", error));
    EXPECT_NE(0u, error);
    EXPECT_NE(5u, error) << "absent, not refused";
}

TEST_F(RealDesktopTest, ANameTooLongForTheBufferIsNoLock)
{
    std::wstring name = L"prefilled";
    unsigned long error = 0;
    EXPECT_EQ(Desktop::DesktopAccess::NameFailed, m_desktop.inputDesktop(4, name, error));
    EXPECT_EQ(static_cast<unsigned long>(ERROR_INSUFFICIENT_BUFFER), error);
    EXPECT_EQ(L"prefilled", name) << "untouched on failure";
}

TEST_F(RealDesktopTest, TheMonitorsOnTheRealDesktopReportNothingForAnActiveUnlockedUser)
{
    HelperWindow helper;
    ASSERT_TRUE(helper.open(L"mon_win_bare", title(L"Presence")));
    ASSERT_TRUE(helper.bringToFront());
    System system(m_desktop);
    montest::TestFramework framework;
    auto* lock = framework.add(new PCLockedMonitorService(m_desktop));
    auto* idle = framework.add(new IdleUserMonitorService(system));
    auto* recorder = framework.add(new montest::MsgRecorder({Msg::SYSTEM_EVENT}));
    ASSERT_TRUE(framework.setup());
    // Three samples of each, the user moving the mouse meanwhile: a lock
    // would be reported by the second sample.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(moveTheMouse());
        lock->onTimer();
        idle->onTimer();
        framework.drain();
    }
    EXPECT_TRUE(recorder->received.empty()) << "no idle, active, lock or unlock event";
    EXPECT_TRUE(idle->isUserActive());
    ASSERT_TRUE(helper.close());
}

} // namespace
