#include "client/win32/ClockControlWindow.h"

#include "client/AdjustableClock.h"

const wchar_t* const ClockControlWindow::ClassName = L"OndrivexClockControl";
const wchar_t* const ClockControlWindow::EnvironmentName = L"ONDRIVEX_TEST_CLOCK";
const wchar_t* const ClockControlWindow::EnvironmentValue = L"adjustable";
const wchar_t* const ClockControlWindow::MachineSwitch = L"TestClock";

ClockControlWindow::~ClockControlWindow()
{
    if (m_window)
        DestroyWindow(m_window);
}

bool ClockControlWindow::requested(const Registry& machine)
{
    wchar_t value[32] = L"";
    DWORD n = GetEnvironmentVariableW(EnvironmentName, value, 32);
    if (n == 0 || n >= 32 || lstrcmpW(value, EnvironmentValue) != 0)
        return false;
    // The variable is the user's to set; moving the clock that dates the
    // user's record also needs the machine's switch, which only an
    // administrator can write.
    return machine.read(MachineSwitch, 0) == 1;
}

UINT ClockControlWindow::advanceMessage()
{
    static const UINT id = RegisterWindowMessageW(L"WM_TL_ADVANCE_CLOCK");
    return id;
}

bool ClockControlWindow::create()
{
    HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &ClockControlWindow::windowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = ClassName;
    // Already registered by an earlier window of the process is fine.
    RegisterClassW(&windowClass);
    // A hidden top-level window rather than a message-only one: Wine does
    // not always find message-only windows of another process.
    m_window = CreateWindowExW(WS_EX_TOOLWINDOW, ClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                               nullptr, module, this);
    return m_window != nullptr;
}

LRESULT CALLBACK ClockControlWindow::windowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == advanceMessage()) {
        auto* self =
            reinterpret_cast<ClockControlWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!self)
            return FALSE;
        return self->m_clock.advance(static_cast<int64_t>(wParam)) ? TRUE : FALSE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
