#pragma once
#include <string>

#include "base/Registry.h"
#include "base/win32/WindowsSupport.h"

class AdjustableClock;

// The window tests reach the client's clock through. Only a client started
// with the environment variable ONDRIVEX_TEST_CLOCK=adjustable on a machine
// whose HKLM\Software\Ondrivex "TestClock" is 1 runs on an AdjustableClock
// and makes this window; any other client has neither and ignores the
// message.
//
// A hidden top-level window of class "OndrivexClockControl" on the status
// window's thread. "WM_TL_ADVANCE_CLOCK" with wParam = seconds moves the
// clock on (1 s to a day) and answers TRUE, or FALSE when refused; the
// services' timers that fall due in the step tick at the next heartbeat.
class ClockControlWindow {
public:
    static const wchar_t* const ClassName;        // "OndrivexClockControl"
    static const wchar_t* const EnvironmentName;  // "ONDRIVEX_TEST_CLOCK"
    static const wchar_t* const EnvironmentValue; // "adjustable"
    static const wchar_t* const MachineSwitch;    // "TestClock" (DWORD 1)

    explicit ClockControlWindow(AdjustableClock& clock) : m_clock(clock) {}
    ~ClockControlWindow();
    ClockControlWindow(const ClockControlWindow&) = delete;
    ClockControlWindow& operator=(const ClockControlWindow&) = delete;

    // False when the window cannot be made.
    bool create();
    HWND hwnd() const { return m_window; }

    // Whether this process was started with the variable set to the value
    // and the machine's switch is on.
    // machine: the machine's key (HKLM\Software\Ondrivex in use).
    static bool requested(const Registry& machine);
    static UINT advanceMessage();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    AdjustableClock& m_clock;
    HWND m_window = nullptr;
};
