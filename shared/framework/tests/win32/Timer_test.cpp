#include <gtest/gtest.h>

#include <memory>

#include "FrameworkFakes.h"
#include "base/win32/WindowsSupport.h"

using namespace frameworktest;

namespace {

BOOL CALLBACK findTimerWindow(HWND hwnd, LPARAM param)
{
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    if (std::wstring(name) == L"TavelinTimerWindow") {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The hidden timer window of the calling thread, null when there is none.
HWND timerWindow()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &findTimerWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST(TimerWindowTest, TheFrameworkOwnsOneHiddenTimerWindowForItsLife)
{
    EXPECT_EQ(timerWindow(), nullptr);
    auto framework = std::make_unique<TestFramework>();
    HWND hwnd = timerWindow();
    ASSERT_NE(hwnd, nullptr) << "no TavelinTimerWindow for the constructing thread";

    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & 0x84CA0000u, 0x84CA0000u);
    wchar_t title[16] = L"sentinel";
    EXPECT_EQ(GetWindowTextW(hwnd, title, 16), 0);
    EXPECT_STREQ(title, L"");
    RECT r{-1, -1, -1, -1};
    ASSERT_TRUE(GetWindowRect(hwnd, &r));
    EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) / 2);
    EXPECT_EQ(r.top, GetSystemMetrics(SM_CYSCREEN) / 2);

    HMENU menu = GetSystemMenu(hwnd, FALSE);
    ASSERT_NE(menu, nullptr);
    for (UINT command : {SC_MAXIMIZE, SC_SIZE, SC_MOVE})
        EXPECT_EQ(GetMenuState(menu, command, MF_BYCOMMAND), static_cast<UINT>(-1))
            << "command " << command;
    EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));

    framework.reset();
    EXPECT_FALSE(IsWindow(hwnd)) << "the timer window outlived the framework";

    // A new framework makes a new window of the class registered before.
    framework = std::make_unique<TestFramework>();
    EXPECT_NE(timerWindow(), nullptr);
}

} // namespace
