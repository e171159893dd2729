#include "client/win32/ClockControlWindow.h"

#include <gtest/gtest.h>

#include "client/AdjustableClock.h"
#include "testsupport/TestSupport.h"

namespace {

// The process's variable, set for one test and taken away after it.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : m_name(name)
    {
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedVariable() { SetEnvironmentVariableW(m_name, nullptr); }

private:
    const wchar_t* m_name;
};

class ClockControlWindowTest : public ::testing::Test {
protected:
    testsupport::TestKey key{L"ClockControl", Registry::LocalMachine};
    Registry machine{Registry::LocalMachine, key.path()};
};

TEST_F(ClockControlWindowTest, TheUsersVariableAloneDoesNotMoveTheClock)
{
    ScopedVariable variable(ClockControlWindow::EnvironmentName, L"adjustable");
    EXPECT_FALSE(ClockControlWindow::requested(machine));
    ASSERT_TRUE(machine.write(ClockControlWindow::MachineSwitch, 0));
    EXPECT_FALSE(ClockControlWindow::requested(machine));
    ASSERT_TRUE(machine.write(ClockControlWindow::MachineSwitch, 1));
    EXPECT_TRUE(ClockControlWindow::requested(machine));
}

TEST_F(ClockControlWindowTest, TheMachinesSwitchAloneOrAnotherValueDoesNot)
{
    ASSERT_TRUE(machine.write(ClockControlWindow::MachineSwitch, 1));
    EXPECT_FALSE(ClockControlWindow::requested(machine));
    ScopedVariable variable(ClockControlWindow::EnvironmentName, L"adjustable-please");
    EXPECT_FALSE(ClockControlWindow::requested(machine));
}

TEST_F(ClockControlWindowTest, TheWindowMovesTheClockByTheStepItIsSent)
{
    ManualClock base(1700000000, 1000);
    AdjustableClock clock(base);
    ClockControlWindow window(clock);
    ASSERT_TRUE(window.create());
    EXPECT_EQ(TRUE, SendMessageW(window.hwnd(), ClockControlWindow::advanceMessage(), 300, 0));
    EXPECT_EQ(1700000300, clock.now());
    EXPECT_EQ(FALSE, SendMessageW(window.hwnd(), ClockControlWindow::advanceMessage(), 0, 0));
    EXPECT_EQ(1700000300, clock.now());
}

} // namespace
