// What the client's monitoring costs: one framework with every service that
// watches the user (system change service, status updates, lock, idle and
// backup monitors, foreground tracking, declared states) on a scripted
// desktop of 10 windows, its timers driven by a clock the benchmark moves.
//   pulseNothingDue      one pulse when no timer is due and no message waits
//   pulseEverythingDue   the clock moved on 1 s: every timer ticks at once,
//                        and the pulses until the framework is quiet again
//   oneSecondOfMonitoring  one second at the client's real rates: five 200 ms
//                        loop steps (each pulsing until quiet), in which the
//                        backup check runs 5 times, the idle check twice, the
//                        lock check and the tracking tick once; the counter
//                        core_share is the share of one core this takes
//   contextChangeToServer a title change carried all the way: the report,
//                        the change, 10 s later the status message to the
//                        server (drained through the device standing in for
//                        the Http mechanism), with the 11 s of monitoring
//                        around it; to_server counts the messages per change
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/BenchDesk.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/monitoring/BackupActivityMonitorService.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/IdleUserMonitorService.h"
#include "shared/monitoring/PCLockedMonitorService.h"
#include "shared/monitoring/SystemChangeService.h"
#include "shared/monitoring/UserStateChangeService.h"
#include "shared/server/ServerStatusUpdateService.h"

namespace {

using bench::rulesFile;

// Counts what would go to the server and drops it.
class ServerSink : public CommunicationDevice {
public:
    ~ServerSink() override { terminate(Infinite); }
    bool setup() override { return true; }
    void pushMessage(Msg* msg) override
    {
        delete msg;
        ++sent;
    }
    using CommunicationDevice::pushMessage;
    bool canSendMsgs() override { return true; }
    bool canReceiveMsgs() override { return false; }
    CommMechanism getCommType() override { return Http; }
    long sent = 0;
};

// Ten visible windows of five programs, the first in front, on the
// desktop's own clock, with the user at work.
struct Desk : bench::BenchDesk {
    Desk() : BenchDesk(1765180800, 40000000)
    {
        desktop.useClock(clock);
        open(10, L"bench-presence-");
        desktop.userInput();
    }
};

class Client : public ApplicationFramework {
public:
    explicit Client(Desk& desk) : ApplicationFramework(desk.clock)
    {
        addCommunicationDevice(new InternalCommDevice());
        changes = new SystemChangeService(desk.desktop, desk.clock);
        addService(changes);
        System& system = changes->getSystemInfo();
        addCommunicationDevice(server = new ServerSink());
        addService(new ServerStatusUpdateService(system));
        addService(new PCLockedMonitorService(desk.desktop));
        addService(new IdleUserMonitorService(system));
        addService(new GenericAppChangeService(system, rulesFile()));
        addService(new BackupActivityMonitorService(system));
        addService(new UserStateChangeService(system));
        setup();
    }
    void drain()
    {
        while (pulse()) {
        }
    }
    SystemChangeService* changes = nullptr;
    ServerSink* server = nullptr;
};

// Settles the client: the first reports, the first delayed change.
void settle(Desk& desk, Client& client)
{
    for (int i = 0; i < 100; ++i) {
        desk.clock.advanceMs(200);
        desk.desktop.userInput();
        client.drain();
    }
}

void pulseNothingDue(benchmark::State& state)
{
    Desk desk;
    Client client(desk);
    settle(desk, client);
    for (auto _ : state)
        benchmark::DoNotOptimize(client.pulse());
}
BENCHMARK(pulseNothingDue)->Unit(benchmark::kNanosecond);

void pulseEverythingDue(benchmark::State& state)
{
    Desk desk;
    Client client(desk);
    settle(desk, client);
    long pulses = 0;
    for (auto _ : state) {
        desk.clock.advanceMs(1000);
        desk.desktop.userInput();
        while (client.pulse())
            ++pulses;
        ++pulses;
    }
    state.counters["pulses"] =
        benchmark::Counter(static_cast<double>(pulses), benchmark::Counter::kAvgIterations);
}
BENCHMARK(pulseEverythingDue)->Unit(benchmark::kMicrosecond);

void oneSecondOfMonitoring(benchmark::State& state)
{
    Desk desk;
    Client client(desk);
    settle(desk, client);
    for (auto _ : state) {
        desk.desktop.userInput();
        for (int step = 0; step < 5; ++step) {
            desk.clock.advanceMs(200);
            client.drain();
        }
    }
    // Seconds of work per second of the day, which is the share of one
    // core (shown as a time: 6 us means 0.0006 %).
    state.counters["core_share"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(oneSecondOfMonitoring)->Unit(benchmark::kMicrosecond);

void contextChangeToServer(benchmark::State& state)
{
    Desk desk;
    Client client(desk);
    settle(desk, client);
    const long before = client.server->sent;
    int n = 0;
    for (auto _ : state) {
        desk.desktop.setTitle(desk.front, L"Draft " + std::to_wstring(++n) + L".docx - Word");
        desk.desktop.userInput();
        // 11 s in 1 s steps: the report, then the delayed change.
        for (int step = 0; step < 11; ++step) {
            desk.clock.advanceMs(1000);
            client.drain();
        }
        // Half a minute more, untimed, so that the window's reports stay
        // under the limit of 200 an hour that would freeze its context.
        state.PauseTiming();
        desk.clock.advance(30);
        client.drain();
        state.ResumeTiming();
    }
    state.counters["to_server"] = benchmark::Counter(
        static_cast<double>(client.server->sent - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(contextChangeToServer)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
