#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ChannelTestMessages.h"
#include "base/Mutex.h"
#include "base/SharedMemCommDevice.h"
#include "base/SharedMemoryBlock.h"
#include "base/Tools.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

using testsupport::eventually;
using testsupport::ChildProcess;
using testsupport::CapturedEvent;

namespace {

const uint32_t Limit = SharedMemCommDevice::IpcLimit;

// An independent view of a channel's block and lock, as another process
// would have it.
class BlockPeer {
public:
    explicit BlockPeer(const std::wstring& channel)
    {
        const std::wstring base = Tools::createLocalObjectName(channel);
        lock.initialise(base + L".mtx");
        ok = block.create(base + L".mem", SharedMemCommDevice::BlockSize) && block.map();
    }

    uint8_t flag() const { return *static_cast<volatile uint8_t*>(block.data()); }
    uint32_t length()
    {
        AutoMutex guard(lock);
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = n << 8 | block.data()[4 + i];
        return n;
    }
    // Writes the whole header and the data under the lock, as a writer
    // (hostile or not) could.
    void put(uint8_t flagValue, uint32_t lengthValue, const void* data = nullptr, size_t n = 0)
    {
        AutoMutex guard(lock);
        uint8_t* p = block.data();
        if (n > 0)
            std::memcpy(p + 8, data, n);
        for (int i = 0; i < 4; ++i)
            p[4 + i] = static_cast<uint8_t>(lengthValue >> (8 * i));
        p[0] = flagValue;
    }
    void putMessage(const Msg& msg)
    {
        ByteArray bytes;
        msg.toByteArray(bytes);
        put(1, static_cast<uint32_t>(bytes.getSize()), bytes.getData(),
            static_cast<size_t>(bytes.getSize()));
    }
    std::vector<uint8_t> snapshot()
    {
        AutoMutex guard(lock);
        return std::vector<uint8_t>(block.data(), block.data() + SharedMemCommDevice::BlockSize);
    }

    Mutex lock;
    SharedMemoryBlock block;
    bool ok = false;
};

// Devices whose steps the test may run itself, on its own thread, when it
// does not start the device's thread.
class TestDevice : public SharedMemCommDevice {
public:
    using SharedMemCommDevice::SharedMemCommDevice;
    // The thread calls the device's virtual functions: it is stopped before
    // this class's part is torn down, as any class derived from a device
    // must (the ThreadSanitizer build reports it otherwise).
    ~TestDevice() override { terminate(50); }
    using CommunicationDevice::pushMessage;
    unsigned inbound() { return getInQSize(); }
};

int seqOf(const Msg& msg)
{
    int seq = -1;
    msg.getAttributeValue(L"Seq", seq);
    return seq;
}

std::wstring writerOf(const Msg& msg)
{
    std::wstring w;
    msg.getAttributeValue(L"Writer", w);
    return w;
}

class SharedMemChannelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_channel = testsupport::uniqueName(L"ChannelTest");
        forget(m_channel);
    }
    void TearDown() override { forget(m_channel); }

    // Natively a block outlives its processes; each test starts afresh.
    static void forget(const std::wstring& channel)
    {
        SharedMemoryBlock::remove(Tools::createLocalObjectName(channel) + L".mem");
    }

    // Takes n messages from a running reader.
    static std::vector<std::unique_ptr<Msg>> collect(CommunicationDevice& reader, size_t n)
    {
        std::vector<std::unique_ptr<Msg>> got;
        eventually([&] {
            while (Msg* m = reader.popMessage())
                got.emplace_back(m);
            return got.size() >= n;
        });
        return got;
    }

    void expectGivenUp(TestDevice& reader, BlockPeer& peer, int exceptionId,
                       const std::wstring& text)
    {
        const size_t before = m_trace.count(1050908);
        EXPECT_FALSE(reader.sendReceiveMsgs());
        EXPECT_EQ(peer.flag(), 0) << "the block was not given up";
        EXPECT_EQ(reader.inbound(), 0u);
        CapturedEvent e{};
        ASSERT_TRUE(m_trace.waitFor(1050908, e, before + 1));
        EXPECT_EQ(e.description, L"A Comms exception occured while sending and receiving data");
        if (exceptionId != 0)
            EXPECT_EQ(e.exceptionId, exceptionId);
        else
            EXPECT_TRUE(e.exceptionId >= 1050601 && e.exceptionId <= 1050609) << e.exceptionId;
        EXPECT_NE(e.exceptionText.find(text), std::wstring::npos) << e.exceptionText;
    }

    // The channel stays usable: a sound message after a bad one arrives.
    void expectChannelUsable(TestDevice& reader, BlockPeer& peer)
    {
        peer.putMessage(*channeltest::makeReport(L"after", 9));
        ASSERT_TRUE(reader.sendReceiveMsgs());
        std::unique_ptr<Msg> msg(reader.popMessage());
        ASSERT_TRUE(msg);
        EXPECT_EQ(seqOf(*msg), 9);
        EXPECT_EQ(peer.flag(), 0);
    }

    // The helper program that writes to a channel from a second process.
    static std::wstring writerProgram() { return testsupport::helperProgram(L"base_shm_writer"); }

    testsupport::EventRecorder m_trace{testsupport::uniqueName(L"ChannelTest")};
    std::wstring m_channel;
};

TEST_F(SharedMemChannelTest, NamesRolesAndMechanism)
{
    TestDevice reader(L"ContextInfo", SharedMemCommDevice::Reader);
    TestDevice writer(L"ContextInfo", SharedMemCommDevice::Writer);
    const std::wstring base = Tools::createLocalObjectName(L"ContextInfo");
    EXPECT_EQ(base.rfind(L"Local\\Ondrivex.Ondrivex.", 0), 0u) << base;
    EXPECT_EQ(reader.getBlockName(), base + L".mem");
    EXPECT_EQ(reader.getLockName(), base + L".mtx");
    EXPECT_EQ(writer.getBlockName(), reader.getBlockName());

    EXPECT_TRUE(reader.canReceiveMsgs());
    EXPECT_FALSE(reader.canSendMsgs());
    EXPECT_TRUE(writer.canSendMsgs());
    EXPECT_FALSE(writer.canReceiveMsgs());
    EXPECT_EQ(reader.getCommType(), CommunicationDevice::SharedMemory);
    EXPECT_EQ(SharedMemCommDevice::BlockSize, 262152u);

    // Nothing is mapped before setup: no step does anything.
    writer.pushMessage(channeltest::makeReport(L"w", 1).release());
    EXPECT_FALSE(writer.sendReceiveMsgs());
    EXPECT_FALSE(reader.sendReceiveMsgs());
    EXPECT_EQ(writer.getOutQSize(), 1u);
}

TEST_F(SharedMemChannelTest, WriterLaysTheMessageOutInTheBlock)
{
    BlockPeer peer(m_channel);
    ASSERT_TRUE(peer.ok);
    TestDevice writer(m_channel, SharedMemCommDevice::Writer);
    ASSERT_TRUE(writer.setup());
    EXPECT_FALSE(writer.sendReceiveMsgs()) << "nothing to send";

    std::unique_ptr<Msg> msg = channeltest::makeReport(L"w", 3);
    ByteArray expected;
    msg->toByteArray(expected);
    writer.pushMessage(msg.release());
    EXPECT_TRUE(writer.sendReceiveMsgs());

    const std::vector<uint8_t> block = peer.snapshot();
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[1] | block[2] | block[3], 0) << "reserved bytes were written";
    EXPECT_EQ(peer.length(), static_cast<uint32_t>(expected.getSize()));
    EXPECT_EQ(
        std::memcmp(block.data() + 8, expected.getData(), static_cast<size_t>(expected.getSize())),
        0);
    EXPECT_EQ(writer.getOutQSize(), 0u);
}

TEST_F(SharedMemChannelTest, ReaderTakesTheMessageAndEmptiesTheBlock)
{
    BlockPeer peer(m_channel);
    ASSERT_TRUE(peer.ok);
    TestDevice reader(m_channel, SharedMemCommDevice::Reader);
    ASSERT_TRUE(reader.setup());
    EXPECT_FALSE(reader.sendReceiveMsgs()) << "an empty block gave a message";

    peer.putMessage(*channeltest::makeReport(L"peer", 5));
    EXPECT_TRUE(reader.sendReceiveMsgs());
    EXPECT_EQ(peer.flag(), 0);
    std::unique_ptr<Msg> msg(reader.popMessage());
    ASSERT_TRUE(msg);
    EXPECT_EQ(msg->getType(), Msg::PLUGIN_INFO);
    EXPECT_EQ(seqOf(*msg), 5);
    EXPECT_EQ(writerOf(*msg), L"peer");
}

TEST_F(SharedMemChannelTest, TheLargestMessagePassesAndOneByteMoreIsRefusedLeavingTheBlockAlone)
{
    BlockPeer peer(m_channel);
    ASSERT_TRUE(peer.ok);
    TestDevice writer(m_channel, SharedMemCommDevice::Writer);
    TestDevice reader(m_channel, SharedMemCommDevice::Reader);
    ASSERT_TRUE(writer.setup());
    ASSERT_TRUE(reader.setup());

    std::unique_ptr<Msg> largest = channeltest::makeReportOfSize(L"w", 1, Limit);
    ASSERT_EQ(largest->getSerializedSizeRequirement(), static_cast<int32_t>(Limit));
    const Msg copy(*largest);
    writer.pushMessage(largest.release());
    ASSERT_TRUE(writer.sendReceiveMsgs());
    EXPECT_EQ(peer.length(), Limit);
    ASSERT_TRUE(reader.sendReceiveMsgs());
    std::unique_ptr<Msg> got(reader.popMessage());
    ASSERT_TRUE(got);
    ByteArray* pad = nullptr;
    ByteArray* sentPad = nullptr;
    ASSERT_TRUE(got->getAttributeValue(L"Pad", pad));
    ASSERT_TRUE(copy.getAttributeValue(L"Pad", sentPad));
    EXPECT_TRUE(*pad == *sentPad);

    // Fill the block so that any write would show.
    std::vector<uint8_t> pattern(Limit);
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<uint8_t>(0xA5 ^ i);
    peer.put(0, 0x12345678, pattern.data(), pattern.size());
    const std::vector<uint8_t> before = peer.snapshot();

    writer.pushMessage(channeltest::makeReportOfSize(L"w", 2, Limit + 1).release());
    EXPECT_FALSE(writer.sendReceiveMsgs());
    CapturedEvent e{};
    ASSERT_TRUE(m_trace.waitFor(1050908, e));
    EXPECT_EQ(e.exceptionId, 1050905);
    EXPECT_NE(e.exceptionText.find(L"Msg bigger than IPC limit: "), std::wstring::npos)
        << e.exceptionText;
    EXPECT_NE(e.exceptionText.find(L"262145"), std::wstring::npos) << e.exceptionText;
    EXPECT_TRUE(peer.snapshot() == before) << "the refused message touched the block";
    EXPECT_EQ(writer.getOutQSize(), 0u) << "the refused message stayed queued";

    // The writer goes on with the next message.
    writer.pushMessage(channeltest::makeReport(L"w", 3).release());
    EXPECT_TRUE(writer.sendReceiveMsgs());
    EXPECT_EQ(peer.flag(), 1);
}

TEST_F(SharedMemChannelTest, ImpossibleLengthsAreGivenUp)
{
    BlockPeer peer(m_channel);
    ASSERT_TRUE(peer.ok);
    TestDevice reader(m_channel, SharedMemCommDevice::Reader);
    ASSERT_TRUE(reader.setup());

    peer.put(1, 300000);
    expectGivenUp(reader, peer, 1050906, L"300000");
    EXPECT_NE(m_trace.all().back().exceptionText.find(L"Msg size exceeds IPC buffer limit: "),
              std::wstring::npos);
    peer.put(1, 0xFFFFFFFFu);
    expectGivenUp(reader, peer, 1050906, L"4294967295");
    peer.put(1, Limit + 1);
    expectGivenUp(reader, peer, 1050906, L"262145");
    expectChannelUsable(reader, peer);
}

TEST_F(SharedMemChannelTest, UnparsableDataIsGivenUpWithNothingQueued)
{
    BlockPeer peer(m_channel);
    ASSERT_TRUE(peer.ok);
    TestDevice reader(m_channel, SharedMemCommDevice::Reader);
    ASSERT_TRUE(reader.setup());

    const uint8_t junk[] = {0xDE, 0xAD, 0xBE, 0xEF, 1, 2, 3, 4, 5, 6, 7, 8};
    peer.put(1, sizeof junk, junk, sizeof junk);
    expectGivenUp(reader, peer, 0, L"");

    peer.put(1, 0);
    expectGivenUp(reader, peer, 0, L"");

    // A sound message cut short, under a flag value other than 1.
    ByteArray bytes;
    channeltest::makeReport(L"w", 1)->toByteArray(bytes);
    peer.put(0x80, static_cast<uint32_t>(bytes.getSize() - 3), bytes.getData(),
             static_cast<size_t>(bytes.getSize()));
    expectGivenUp(reader, peer, 0, L"");

    expectChannelUsable(reader, peer);
}

TEST_F(SharedMemChannelTest, AWaitingWriterLeavesTheLockFreeAndStopsWhenAsked)
{
    BlockPeer peer(m_channel);
    ASSERT_TRUE(peer.ok);
    peer.put(1, 0); // full, and stays so until the test empties it
    TestDevice writer(m_channel, SharedMemCommDevice::Writer);
    ASSERT_TRUE(writer.startThread(nullptr));
    writer.pushMessage(channeltest::makeReport(L"w", 1).release());
    ASSERT_TRUE(eventually([&] { return writer.getOutQSize() == 0u; }));

    // While the writer waits for the block, others can take the lock.
    int free = 0;
    for (int i = 0; i < 50; ++i) {
        if (peer.lock.tryLock(0)) {
            ++free;
            peer.lock.release();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_GT(free, 0) << "the writer kept the block lock while waiting";

    // Emptied, the block takes the waiting message.
    {
        AutoMutex guard(peer.lock);
        peer.block.data()[0] = 0;
    }
    ASSERT_TRUE(eventually([&] { return peer.flag() == 1 && peer.length() > 0; }));

    // Full again: a second message waits, and a stop ends the wait at once.
    writer.pushMessage(channeltest::makeReport(L"w", 2).release());
    ASSERT_TRUE(eventually([&] { return writer.getOutQSize() == 0u; }));
    writer.terminate(5000);
    unsigned long code = 0;
    ASSERT_TRUE(writer.getExitCode(code));
    EXPECT_EQ(code, Thread::ExitStopped);
    peer.lock.lock();
    peer.lock.release();
    EXPECT_EQ(m_trace.count(1050702), 0u) << "the stopped writer abandoned the lock";
}

// --- with writers in other processes ----------------------------------------

TEST_F(SharedMemChannelTest, AStreamFromAnotherProcessArrivesInOrderThroughContextInfo)
{
    // Test processes that use the real channel name take turns.
    Mutex turn;
    turn.initialise(L"OndrivexTests.ContextInfoChannel");
    AutoMutex guard(turn);
    forget(L"ContextInfo");

    TestDevice reader(L"ContextInfo", SharedMemCommDevice::Reader);
    ASSERT_TRUE(reader.startThread(nullptr));
    ChildProcess helper;
    ASSERT_TRUE(helper.start(writerProgram(), {L"ContextInfo", L"A", L"30"}));
    const auto got = collect(reader, 30);
    ASSERT_EQ(got.size(), 30u);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(seqOf(*got[i]), i);
        EXPECT_EQ(writerOf(*got[i]), L"A");
    }
    helper.closeInput();
    int code = -1;
    ASSERT_TRUE(helper.wait(20000, code));
    EXPECT_EQ(code, 0);
    forget(L"ContextInfo");
}

TEST_F(SharedMemChannelTest, AWriterStartedBeforeTheReaderDeliversItsFirstMessageFirst)
{
    BlockPeer peer(m_channel);
    ASSERT_TRUE(peer.ok);
    ChildProcess helper;
    ASSERT_TRUE(helper.start(writerProgram(), {m_channel, L"early", L"3"}));
    ASSERT_TRUE(eventually([&] { return peer.flag() == 1; }))
        << "the writer did not fill the block";

    TestDevice reader(m_channel, SharedMemCommDevice::Reader);
    ASSERT_TRUE(reader.startThread(nullptr));
    const auto got = collect(reader, 3);
    ASSERT_EQ(got.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(seqOf(*got[i]), i);
    helper.closeInput();
    int code = -1;
    ASSERT_TRUE(helper.wait(20000, code));
    EXPECT_EQ(code, 0);
}

TEST_F(SharedMemChannelTest, TwoWritersAtOnceBothArrive)
{
    TestDevice reader(m_channel, SharedMemCommDevice::Reader);
    ASSERT_TRUE(reader.startThread(nullptr));
    ChildProcess first;
    ChildProcess second;
    ASSERT_TRUE(first.start(writerProgram(), {m_channel, L"A", L"15"}));
    ASSERT_TRUE(second.start(writerProgram(), {m_channel, L"B", L"15"}));
    const auto got = collect(reader, 30);
    ASSERT_EQ(got.size(), 30u);
    int nextA = 0;
    int nextB = 0;
    for (const auto& msg : got) {
        if (writerOf(*msg) == L"A")
            EXPECT_EQ(seqOf(*msg), nextA++);
        else if (writerOf(*msg) == L"B")
            EXPECT_EQ(seqOf(*msg), nextB++);
        else
            ADD_FAILURE() << "unknown writer";
    }
    EXPECT_EQ(nextA, 15);
    EXPECT_EQ(nextB, 15);
    for (ChildProcess* h : {&first, &second}) {
        h->closeInput();
        int code = -1;
        ASSERT_TRUE(h->wait(20000, code));
        EXPECT_EQ(code, 0);
    }
}

TEST_F(SharedMemChannelTest, TheLargestMessageCrossesFromAnotherProcess)
{
    TestDevice reader(m_channel, SharedMemCommDevice::Reader);
    ASSERT_TRUE(reader.startThread(nullptr));
    ChildProcess helper;
    ASSERT_TRUE(helper.start(writerProgram(), {m_channel, L"big", L"2", std::to_wstring(Limit)}));
    const auto got = collect(reader, 2);
    ASSERT_EQ(got.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(got[i]->getSerializedSizeRequirement(), static_cast<int32_t>(Limit));
        ByteArray* pad = nullptr;
        ASSERT_TRUE(got[i]->getAttributeValue(L"Pad", pad));
        bool same = true;
        for (int32_t k = 0; k < pad->getSize() && same; ++k)
            same = pad->getData()[k] == channeltest::padByte(k);
        EXPECT_TRUE(same) << "message " << i << " arrived altered";
    }
    helper.closeInput();
    int code = -1;
    ASSERT_TRUE(helper.wait(20000, code));
    EXPECT_EQ(code, 0);
}

} // namespace
