// What the client spends every second of the working day on the desktop:
// one foreground-tracking tick (active window, title, rules, the message
// through the internal device) and one rescan of the desktop, with 10 and
// with 200 top-level windows on a scripted desktop. The title rules are the
// shipped ones.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "base/File.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/Clock.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"

#ifndef TC_SOURCE_ROOT
#define TC_SOURCE_ROOT "."
#endif

namespace {

const std::wstring& rulesFile()
{
    static const std::wstring path =
        std::wstring(TC_SOURCE_ROOT, TC_SOURCE_ROOT + sizeof(TC_SOURCE_ROOT) - 1) +
        L"/data/ApplicationRules.txt";
    return path;
}

// A desktop of n visible windows of n / 2 programs, the first in front.
struct Desk {
    ScriptedDesktop desktop;
    ManualClock clock;
    native::Window front = nullptr;

    explicit Desk(int n)
    {
        for (int i = 0; i < n; ++i) {
            const uint32_t pid = 1000 + static_cast<uint32_t>(i / 2);
            if (i % 2 == 0)
                desktop.startProcess(pid, File::getTempPath() + L"/bench-program-" +
                                              std::to_wstring(pid) + L".exe");
            const native::Window w = desktop.openWindow(
                pid, L"Quarterly report " + std::to_wstring(i) + L".docx - Word");
            if (front == nullptr)
                front = w;
        }
        desktop.setForeground(front);
    }
};

class Sink : public Service {
public:
    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override { return msg.getType() == Msg::PLUGIN_INFO; }
    bool processMsg(Msg&) override { return true; }
};

class BenchFramework : public ApplicationFramework {
public:
    explicit BenchFramework(System& system)
    {
        addCommunicationDevice(new InternalCommDevice());
        tracking = new GenericAppChangeService(system, rulesFile());
        addService(tracking);
        addService(new Sink());
    }
    GenericAppChangeService* tracking;
};

void refresh(benchmark::State& state)
{
    Desk desk(static_cast<int>(state.range(0)));
    System system(desk.desktop, desk.clock);
    for (auto _ : state)
        benchmark::DoNotOptimize(system.refresh());
    state.counters["windows"] = static_cast<double>(system.getWindowCount());
}
BENCHMARK(refresh)->Arg(10)->Arg(200)->Unit(benchmark::kMicrosecond);

void trackingTick(benchmark::State& state)
{
    Desk desk(static_cast<int>(state.range(0)));
    System system(desk.desktop, desk.clock);
    BenchFramework framework(system);
    for (auto _ : state) {
        framework.tracking->onTimer();
        framework.pulse(); // the report reaches its reader
    }
}
BENCHMARK(trackingTick)->Arg(10)->Arg(200)->Unit(benchmark::kMicrosecond);

// The rules alone, on the rules path a real Word window takes.
void describeWordTitle(benchmark::State& state)
{
    const TitlebarTextExtractor rules(rulesFile());
    const OLETextExtractor automation;
    const IntelligentTitlebarTextExtractor split;
    for (auto _ : state)
        benchmark::DoNotOptimize(GenericAppChangeService::describe(
            rules, automation, split, nullptr, L"WINWORD.EXE", L"Microsoft Word",
            L"Quarterly report 2024 [Compatibility Mode] - Microsoft Word"));
}
BENCHMARK(describeWordTitle)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
