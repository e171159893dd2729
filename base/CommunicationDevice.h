#pragma once
#include <deque>
#include <memory>

#include "base/Msg.h"
#include "base/Mutex.h"
#include "base/TCBaseApi.h"
#include "base/Thread.h"

// The base of every message transport: a worker thread with an inbound queue
// (messages received, waiting for the application) and an outbound queue
// (messages handed over to be sent). Each queue has its own lock, held only
// for the queue operation itself; no operation holds both.
//
// A queue holds at most getMaxQSize messages: a message added to a full
// queue first drops (destroys) the oldest one, so a sender never blocks.
class TCBASE_API CommunicationDevice : public Thread {
public:
    enum CommMechanism { Internal = 0, SharedMemory = 1, Http = 3 };

    using MsgQueue = std::deque<std::unique_ptr<Msg>>;

    static constexpr unsigned DefaultMaxQSize = 1000;

    CommunicationDevice();
    // Destroys the messages left in both queues. The thread must have been
    // stopped by then: a derived device stops it in its own destructor.
    ~CommunicationDevice() override;

    bool setup() override = 0;
    // The device loop: sendReceiveMsgs without pause while it reports work,
    // a 100 ms idle wait (cut short by a stop request) when it does not.
    // Never returns of itself.
    int execute(void* argument) override;
    void cleanUp() override {}

    // The oldest received message, now the caller's; null when there is none.
    virtual Msg* popMessage();
    // Queues a message to be sent; the device owns it from then on, also when
    // this throws. A null message throws Exception 1050201.
    virtual void pushMessage(Msg* msg);
    virtual bool canSendMsgs() = 0;
    virtual bool canReceiveMsgs() = 0;
    virtual CommMechanism getCommType() = 0;
    // One step of the device's work; true when it did something, so that the
    // loop calls it again at once. Called on the device thread only.
    virtual bool sendReceiveMsgs();

    unsigned getInQSize();
    unsigned getOutQSize();
    void setMaxQSize(unsigned n);
    unsigned getMaxQSize() const { return m_maxQSize.load(); }

protected:
    // The same operations on a given queue and its lock: a derived device
    // pops what it must send from the outbound queue and pushes what it
    // received onto the inbound queue.
    void pushMessage(Msg* msg, MsgQueue& queue, Mutex& lock);
    Msg* popMessage(MsgQueue& queue, Mutex& lock);
    // Destroys every message in the queue. The caller holds its lock.
    void cleanQ(MsgQueue& queue);

    MsgQueue m_inQ;
    MsgQueue m_outQ;
    Mutex m_inLock;
    Mutex m_outLock;

private:
    std::atomic<unsigned> m_maxQSize{DefaultMaxQSize};
};
