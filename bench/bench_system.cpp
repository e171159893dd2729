// What the client spends every second of the working day on the desktop:
// one foreground-tracking tick (active window, title, rules, the message
// through the internal device) and one rescan of the desktop, with 10 and
// with 200 top-level windows on a scripted desktop. The title rules are the
// shipped ones.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/BenchDesk.h"
#include "bench/TrackingFramework.h"
#include "shared/monitoring/System.h"

namespace {

using bench::rulesFile;

// A desktop of n visible windows of n / 2 programs, the first in front.
struct Desk : bench::BenchDesk {
    explicit Desk(int n) { open(n, L"bench-program-"); }
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
    bench::TrackingFramework framework(system, rulesFile());
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
