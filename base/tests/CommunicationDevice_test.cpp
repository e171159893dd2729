#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "base/CommunicationDevice.h"
#include "base/Exception.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

using testsupport::eventually;

namespace {

// A message that counts its own destruction.
class CountedMsg : public Msg {
public:
    CountedMsg(std::shared_ptr<std::atomic<int>> destroyed, int seq)
        : m_destroyed(std::move(destroyed))
    {
        setAttributeValue(L"Seq", seq);
    }
    ~CountedMsg() override { ++*m_destroyed; }

private:
    std::shared_ptr<std::atomic<int>> m_destroyed;
};

int seqOf(const Msg* msg)
{
    int seq = -1;
    msg->getAttributeValue(L"Seq", seq);
    return seq;
}

// A device whose work is to move every outbound message to the inbound
// queue, one per sendReceiveMsgs; or, when busy, to report work forever.
class EchoDevice : public CommunicationDevice {
public:
    explicit EchoDevice(bool busy = false) : m_busy(busy) {}
    ~EchoDevice() override { terminate(Infinite); }

    bool setup() override { return true; }
    bool canSendMsgs() override { return true; }
    bool canReceiveMsgs() override { return true; }
    CommMechanism getCommType() override { return Internal; }
    bool sendReceiveMsgs() override
    {
        ++calls;
        if (m_busy)
            return true;
        Msg* msg = popMessage(m_outQ, m_outLock);
        if (msg == nullptr)
            return false;
        pushMessage(msg, m_inQ, m_inLock);
        return true;
    }

    void receive(Msg* msg) { pushMessage(msg, m_inQ, m_inLock); }
    Msg* takeOutbound() { return popMessage(m_outQ, m_outLock); }
    using CommunicationDevice::pushMessage;

    std::atomic<int> calls{0};

private:
    bool m_busy;
};

class CommunicationDeviceTest : public ::testing::Test {
protected:
    testsupport::EventRecorder m_trace{testsupport::uniqueName(L"CommDeviceTest")};
    std::shared_ptr<std::atomic<int>> m_destroyed = std::make_shared<std::atomic<int>>(0);
};

TEST_F(CommunicationDeviceTest, AFullQueueDropsItsOldestMessagePerNewOne)
{
    EchoDevice device;
    EXPECT_EQ(device.getMaxQSize(), 1000u);
    device.setMaxQSize(2);
    for (int seq = 1; seq <= 3; ++seq)
        device.receive(new CountedMsg(m_destroyed, seq));
    EXPECT_EQ(*m_destroyed, 1) << "the first message was not destroyed";
    EXPECT_EQ(device.getInQSize(), 2u);

    std::unique_ptr<Msg> second(device.popMessage());
    std::unique_ptr<Msg> third(device.popMessage());
    ASSERT_TRUE(second && third);
    EXPECT_EQ(seqOf(second.get()), 2);
    EXPECT_EQ(seqOf(third.get()), 3);
    EXPECT_EQ(device.popMessage(), nullptr);

    // The outbound queue has its own bound of the same size.
    for (int seq = 1; seq <= 3; ++seq)
        device.pushMessage(new CountedMsg(m_destroyed, seq));
    EXPECT_EQ(device.getOutQSize(), 2u);
    std::unique_ptr<Msg> out(device.takeOutbound());
    EXPECT_EQ(seqOf(out.get()), 2);

    // A bound of 0 cannot drop from an empty queue: the newest stays.
    device.setMaxQSize(0);
    device.receive(new CountedMsg(m_destroyed, 4));
    device.receive(new CountedMsg(m_destroyed, 5));
    EXPECT_EQ(device.getInQSize(), 1u);
    std::unique_ptr<Msg> kept(device.popMessage());
    EXPECT_EQ(seqOf(kept.get()), 5);
}

TEST_F(CommunicationDeviceTest, ANullMessageIsRefusedWithNothingQueued)
{
    EchoDevice device;
    try {
        device.pushMessage(nullptr);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.getExceptionID(), 1050201);
        EXPECT_EQ(e.getDescription(), L"NULL message was specified");
        EXPECT_STREQ(e.getFunction(), L"CommunicationDevice::pushMessage");
    }
    EXPECT_EQ(device.getOutQSize(), 0u);
    EXPECT_EQ(device.popMessage(), nullptr);
}

TEST_F(CommunicationDeviceTest, DestroyingTheDeviceDestroysTheQueuedMessages)
{
    {
        EchoDevice device;
        device.receive(new CountedMsg(m_destroyed, 1));
        device.pushMessage(new CountedMsg(m_destroyed, 2));
        device.pushMessage(new CountedMsg(m_destroyed, 3));
    }
    EXPECT_EQ(*m_destroyed, 3);
}

TEST_F(CommunicationDeviceTest, TheLoopDrainsWorkAndStopsOnRequestWithoutBeingKilled)
{
    EchoDevice device;
    ASSERT_TRUE(device.startThread(nullptr));
    for (int seq = 0; seq < 200; ++seq)
        device.pushMessage(new CountedMsg(m_destroyed, seq));
    ASSERT_TRUE(eventually([&] { return device.getInQSize() == 200u; }));
    for (int seq = 0; seq < 200; ++seq) {
        std::unique_ptr<Msg> msg(device.popMessage());
        ASSERT_TRUE(msg);
        EXPECT_EQ(seqOf(msg.get()), seq);
    }

    // Idle now: the stop cuts the idle wait short.
    device.terminate(5000);
    unsigned long code = 0;
    ASSERT_TRUE(device.getExitCode(code));
    EXPECT_EQ(code, Thread::ExitStopped);
}

TEST_F(CommunicationDeviceTest, ABusyDeviceStopsWithinOneStep)
{
    EchoDevice device(true);
    ASSERT_TRUE(device.startThread(nullptr));
    ASSERT_TRUE(eventually([&] { return device.calls > 10; }));
    device.requestTermination();
    // A loop that did not look for the request between steps would use up
    // the grace and be killed.
    device.terminate(5000);
    unsigned long code = 0;
    ASSERT_TRUE(device.getExitCode(code));
    EXPECT_EQ(code, Thread::ExitStopped);
}

TEST_F(CommunicationDeviceTest, ProducersAndTheConsumerShareTheQueuesSafely)
{
    EchoDevice device;
    ASSERT_TRUE(device.startThread(nullptr));
    const int producers = 4;
    const int each = 200; // together below the bound: nothing may be dropped
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&, p] {
            for (int i = 0; i < each; ++i)
                device.pushMessage(new CountedMsg(m_destroyed, p * 10000 + i));
        });
    }
    std::vector<int> next(producers, 0);
    int received = 0;
    const bool all = eventually([&] {
        while (Msg* raw = device.popMessage()) {
            std::unique_ptr<Msg> msg(raw);
            const int seq = seqOf(msg.get());
            const int p = seq / 10000;
            EXPECT_EQ(seq % 10000, next[p]) << "producer " << p << " out of order";
            next[p] = seq % 10000 + 1;
            ++received;
        }
        return received == producers * each;
    });
    for (auto& t : threads)
        t.join();
    EXPECT_TRUE(all) << received << " of " << producers * each << " arrived";
    EXPECT_EQ(*m_destroyed, producers * each);
}

} // namespace
