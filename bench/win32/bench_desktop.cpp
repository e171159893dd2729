// The same two costs as bench_system, on a real desktop (run under Wine or
// Windows by hand): one foreground-tracking tick and one rescan, with this
// program's own N visible windows (10 and 200) on top of what the desktop
// already has. Prints the mean of each in microseconds and the share of one
// core that once a second takes. Then the presence checks on the real
// desktop: one idle check (twice a second in the client) and one lock
// sample (once a second), and their share of one core at those rates.
#include <cstdio>
#include <string>
#include <vector>

#include "base/win32/WindowsSupport.h"
#include "bench/TrackingFramework.h"
#include "shared/monitoring/IdleUserMonitorService.h"
#include "shared/monitoring/PCLockedMonitorService.h"
#include "shared/monitoring/System.h"

namespace {

double seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

void pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void measure(int count, const std::wstring& rules)
{
    std::vector<HWND> windows;
    for (int i = 0; i < count; ++i) {
        const std::wstring title = L"Quarterly report " + std::to_wstring(i) + L".docx - Word";
        windows.push_back(CreateWindowExW(
            0, L"OndrivexBenchWindow", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10 + i,
            10 + i, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    }
    SetForegroundWindow(windows.front());
    pump();
    System system;
    bench::TrackingFramework framework(system, rules);
    const int refreshes = 200;
    const int ticks = 1000;
    LARGE_INTEGER a, b, c;
    QueryPerformanceCounter(&a);
    for (int i = 0; i < refreshes; ++i)
        system.refresh();
    QueryPerformanceCounter(&b);
    for (int i = 0; i < ticks; ++i) {
        framework.tracking->onTimer();
        framework.pulse();
    }
    QueryPerformanceCounter(&c);
    const double refresh = seconds(a, b) / refreshes * 1e6;
    const double tick = seconds(b, c) / ticks * 1e6;
    std::printf("own windows %3d (recorded %3u): refresh %9.1f us, tracking tick %8.1f us; "
                "both once a second: %.4f %% of one core\n",
                count, static_cast<unsigned>(system.getWindowCount()), refresh, tick,
                (refresh + tick) / 1e4);
    for (HWND w : windows)
        DestroyWindow(w);
    pump();
}

// The checks alone: what they report stays in the internal device's queue,
// unread, and goes with the framework.
class PresenceFramework : public ApplicationFramework {
public:
    explicit PresenceFramework(System& system)
    {
        addCommunicationDevice(new InternalCommDevice());
        lock = new PCLockedMonitorService();
        addService(lock);
        idle = new IdleUserMonitorService(system);
        addService(idle);
    }
    PCLockedMonitorService* lock;
    IdleUserMonitorService* idle;
};

void measurePresence()
{
    System system;
    PresenceFramework framework(system);
    const int rounds = 200;
    LARGE_INTEGER a, b, c;
    QueryPerformanceCounter(&a);
    for (int i = 0; i < rounds; ++i)
        framework.idle->onTimer();
    QueryPerformanceCounter(&b);
    for (int i = 0; i < rounds; ++i)
        framework.lock->onTimer();
    QueryPerformanceCounter(&c);
    const double idle = seconds(a, b) / rounds * 1e6;
    const double lock = seconds(b, c) / rounds * 1e6;
    std::printf("presence: idle check %7.2f us (2 a second), lock sample %7.2f us (1 a second): "
                "%.4f %% of one core\n",
                idle, lock, (2 * idle + lock) / 1e4);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OndrivexBenchWindow";
    RegisterClassW(&windowClass);
    const std::wstring rules = argc > 1 ? argv[1] : L"ApplicationRules.txt";
    // The presence checks first: under Wine 8 the clean-up after the 200
    // windows may not come back.
    measurePresence();
    measure(10, rules);
    measure(200, rules);
    return 0;
}
