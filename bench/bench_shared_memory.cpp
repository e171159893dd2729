// The add-in channel: what one typical PLUGIN_INFO report costs to pass
// through the block, and what a writer sees end to end with both devices on
// their own threads (the reader polls every 100 ms when idle, the writer
// retries every 10 ms while the block is full).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <unistd.h>

#include "base/Msg.h"
#include "base/SharedMemCommDevice.h"
#include "base/SharedMemoryBlock.h"
#include "base/Tools.h"

namespace {

Msg* report(int seq)
{
    auto* msg = new Msg;
    msg->setType(Msg::PLUGIN_INFO);
    msg->setAttributeValue(L"HWND", 0x000A01C4);
    msg->setAttributeValue(L"Seq", seq);
    msg->setAttributeValue(L"ContextString1",
                           std::wstring(L"C:\\Users\\jsmith\\Documents\\Quarterly report.docx"));
    msg->setAttributeValue(L"ContextString2", std::wstring(L"Quarterly report.docx - Word"));
    msg->setAttributeValue(L"ContextString3", std::wstring(L"Unspecified"));
    msg->setAttributeValue(L"PluginInfoQuality", std::wstring(L"FirstClass"));
    return msg;
}

std::wstring channelName(const char* stem)
{
    return Tools::widenNarrowString(stem) + std::to_wstring(static_cast<long>(getpid()));
}

// Natively a block outlives its processes.
struct Forget {
    std::wstring channel;
    ~Forget() { SharedMemoryBlock::remove(Tools::createLocalObjectName(channel) + L".mem"); }
};

// The channel's own work per message: serialise, lock, copy in; lock, copy
// out, parse, queue. Both ends' steps run on this thread.
void BM_ChannelStep(benchmark::State& state)
{
    Forget forget{channelName("BenchStep")};
    SharedMemCommDevice writer(forget.channel, SharedMemCommDevice::Writer);
    SharedMemCommDevice reader(forget.channel, SharedMemCommDevice::Reader);
    if (!writer.setup() || !reader.setup()) {
        state.SkipWithError("no block");
        return;
    }
    int seq = 0;
    for (auto _ : state) {
        writer.pushMessage(report(seq++));
        writer.sendReceiveMsgs();
        reader.sendReceiveMsgs();
        std::unique_ptr<Msg> got(reader.popMessage());
        benchmark::DoNotOptimize(got.get());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChannelStep);

// A reader and a writer on a channel of their own, each on its own thread.
struct RunningChannel {
    explicit RunningChannel(const char* stem) : forget{channelName(stem)}
    {
        reader.startThread(nullptr);
        writer.startThread(nullptr);
    }
    // Takes one message off the reader's queue, waiting for it.
    void receiveOne()
    {
        Msg* got = nullptr;
        while ((got = reader.popMessage()) == nullptr)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        delete got;
    }

    Forget forget;
    SharedMemCommDevice reader{forget.channel, SharedMemCommDevice::Reader};
    SharedMemCommDevice writer{forget.channel, SharedMemCommDevice::Writer};
};

// One report at a time from the writer's queue to the reader's queue, with
// both devices running: the round trip a single context change sees.
void BM_ChannelLatency(benchmark::State& state)
{
    RunningChannel channel("BenchLatency");
    int seq = 0;
    for (auto _ : state) {
        channel.writer.pushMessage(report(seq++));
        channel.receiveOne();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChannelLatency)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

// A burst of reports queued at once: the rate the channel sustains.
void BM_ChannelBurst(benchmark::State& state)
{
    const int burst = static_cast<int>(state.range(0));
    RunningChannel channel("BenchBurst");
    int seq = 0;
    for (auto _ : state) {
        for (int i = 0; i < burst; ++i)
            channel.writer.pushMessage(report(seq++));
        for (int i = 0; i < burst; ++i)
            channel.receiveOne();
    }
    state.SetItemsProcessed(state.iterations() * burst);
}
BENCHMARK(BM_ChannelBurst)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
