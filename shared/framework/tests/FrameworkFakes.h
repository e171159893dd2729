#pragma once
// Fakes for the framework tests: services and devices that record what
// happens to them in a shared journal.
#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/CommunicationDevice.h"
#include "base/Msg.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/Service.h"
#include "testsupport/EventCapture.h"

namespace frameworktest {

using testsupport::Journal;

// A message that counts its own destruction and carries a number.
class CountedMsg : public Msg {
public:
    CountedMsg(std::shared_ptr<std::atomic<int>> destroyed, int seq, MsgType type = PLUGIN_INFO)
        : m_destroyed(std::move(destroyed))
    {
        setType(type);
        setAttributeValue(L"Seq", seq);
    }
    ~CountedMsg() override { ++*m_destroyed; }

private:
    std::shared_ptr<std::atomic<int>> m_destroyed;
};

inline int seqOf(const Msg& msg)
{
    int seq = -1;
    msg.getAttributeValue(L"Seq", seq);
    return seq;
}

class FakeService : public Service {
public:
    FakeService(std::string name, std::shared_ptr<Journal> journal, std::set<int> accepts = {})
        : m_name(std::move(name)), m_journal(std::move(journal)), m_accepts(std::move(accepts))
    {}
    ~FakeService() override { m_journal->add("delete " + m_name); }

    bool setup() override
    {
        m_journal->add("setup " + m_name);
        return setupResult;
    }
    bool canProcessMsg(Msg& msg) override { return m_accepts.count(msg.getType()) > 0; }
    bool processMsg(Msg& msg) override
    {
        m_journal->add(m_name + " processes " + std::to_string(seqOf(msg)));
        if (onMessage)
            onMessage(msg);
        return true;
    }
    void onTimer() override
    {
        ++timerCalls;
        if (onTimerAction)
            onTimerAction();
    }

    using Service::sendMessage;
    using Service::setTimer;
    SimpleTimer& timer() { return m_timer; }
    ApplicationFramework* framework() const { return m_pFramework; }

    bool setupResult = true;
    int timerCalls = 0;
    std::function<void(Msg&)> onMessage;
    std::function<void()> onTimerAction;

private:
    std::string m_name;
    std::shared_ptr<Journal> m_journal;
    std::set<int> m_accepts;
};

class FakeDevice : public CommunicationDevice {
public:
    FakeDevice(CommMechanism mechanism, std::string name, std::shared_ptr<Journal> journal,
               bool sends = true)
        : m_mechanism(mechanism), m_name(std::move(name)), m_journal(std::move(journal)),
          m_sends(sends)
    {}
    ~FakeDevice() override
    {
        // Siblings listed before this one are already gone.
        std::string others = "yes";
        bool after = false;
        for (FakeDevice* d : siblings) {
            if (after && !d->isStopRequested())
                others = "no";
            after = after || d == this;
        }
        m_journal->add("delete " + m_name + " state " + std::to_string(getThreadState()) +
                       " others asked to stop " + others);
        terminate(Infinite);
    }

    bool setup() override { return true; }
    bool canSendMsgs() override { return m_sends; }
    bool canReceiveMsgs() override { return true; }
    CommMechanism getCommType() override { return m_mechanism; }

    // As if the device had received the message.
    void deliver(Msg* msg) { pushMessage(msg, m_inQ, m_inLock); }
    Msg* takeSent() { return popMessage(m_outQ, m_outLock); }
    using Thread::isStopRequested;

    // The devices of one framework in list order, for the destruction test.
    std::vector<FakeDevice*> siblings;

private:
    CommMechanism m_mechanism;
    std::string m_name;
    std::shared_ptr<Journal> m_journal;
    bool m_sends;
};

class TestFramework : public ApplicationFramework {
public:
    TestFramework() = default;
    explicit TestFramework(const Clock& clock) : ApplicationFramework(clock) {}
    using ApplicationFramework::addCommunicationDevice;
    using ApplicationFramework::addService;
    using ApplicationFramework::getCommunicationDevice;
};

} // namespace frameworktest
