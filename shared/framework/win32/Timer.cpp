#include "shared/framework/Timer.h"

#include "base/win32/WindowsSupport.h"
#include "shared/framework/Clock.h"

namespace {
// Window classes belong to the process; registered once.
bool g_classRegistered = false;
const wchar_t TimerWindowClass[] = L"TavelinTimerWindow";
} // namespace

bool Timer::createHiddenWindow()
{
    if (!g_classRegistered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = TimerWindowClass;
        if (RegisterClassW(&wc) == 0)
            return false;
        g_classRegistered = true;
    }
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    HWND hwnd =
        CreateWindowExW(0, TimerWindowClass, L"",
                        WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                        0, 0, nullptr, nullptr, nullptr, nullptr);
    if (hwnd == nullptr)
        return false;
    s_hwnd = hwnd;
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (menu != nullptr) {
        DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
        DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
        DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
    }
    return true;
}

void Timer::startUp()
{
    if (s_hwnd == nullptr)
        createHiddenWindow();
}

void Timer::shutDown()
{
    if (s_hwnd != nullptr)
        SendMessageW(s_hwnd, WM_CLOSE, 0, 0);
    s_hwnd = nullptr;
    clearClockTicks();
    s_tickClock = nullptr;
}

void Timer::armTick(uint32_t id, unsigned delayMs)
{
    // Without the window a timer would be made with an id of the system's
    // choosing, which the list does not know; it is better not to tick.
    if (s_hwnd == nullptr)
        return;
    if (s_tickClock != nullptr)
        armClockTick(id, delayMs, *s_tickClock);
    else
        SetTimer(s_hwnd, id, delayMs, &Timer::timerFunc);
}

void Timer::disarmTick(uint32_t id)
{
    if (s_hwnd != nullptr)
        KillTimer(s_hwnd, id);
    disarmClockTick(id);
}

void Timer::process()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Read once: the clock is set and cleared on this same thread.
    if (const Clock* driving = s_tickClock)
        processClockTicks(*driving);
}
