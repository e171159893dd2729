#pragma once
// What the benchmarks on a scripted desktop share: the shipped title rules,
// read from the tree (TC_SOURCE_ROOT), and a desktop of visible windows with
// its clock.
#include <cstdint>
#include <string>

#include "base/File.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/ScriptedDesktop.h"

#ifndef TC_SOURCE_ROOT
#define TC_SOURCE_ROOT "."
#endif

namespace bench {

inline const std::wstring& rulesFile()
{
    static const std::wstring path =
        std::wstring(TC_SOURCE_ROOT, TC_SOURCE_ROOT + sizeof(TC_SOURCE_ROOT) - 1) +
        L"/data/ApplicationRules.txt";
    return path;
}

// A scripted desktop and the clock a benchmark moves.
struct BenchDesk {
    ScriptedDesktop desktop;
    ManualClock clock;
    native::Window front = nullptr;

    BenchDesk() = default;
    BenchDesk(int64_t start, uint32_t tickCount) : clock(start, tickCount) {}

    // Opens n visible windows of n / 2 programs (<program><pid>.exe in the
    // temporary folder, pids from 1000), and brings the first to the front.
    void open(int n, const std::wstring& program)
    {
        for (int i = 0; i < n; ++i) {
            const uint32_t pid = 1000 + static_cast<uint32_t>(i / 2);
            if (i % 2 == 0)
                desktop.startProcess(pid, File::getTempPath() + L"/" + program +
                                              std::to_wstring(pid) + L".exe");
            const native::Window w = desktop.openWindow(
                pid, L"Quarterly report " + std::to_wstring(i) + L".docx - Word");
            if (front == nullptr)
                front = w;
        }
        desktop.setForeground(front);
    }
};

} // namespace bench
