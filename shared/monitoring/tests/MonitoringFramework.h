#pragma once
// A framework for the monitoring tests: the internal device, the services
// under test and recorders that keep the messages sent.
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "base/Msg.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/Clock.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/framework/Service.h"

namespace montest {

// Keeps a copy of every message of the given types that the framework
// routes, in order.
class MsgRecorder : public Service {
public:
    explicit MsgRecorder(std::set<int> types) : m_types(std::move(types)) {}
    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override { return m_types.count(msg.getType()) > 0; }
    bool processMsg(Msg& msg) override
    {
        received.push_back(msg);
        return true;
    }
    // The integer attribute of each message received, -1 when absent.
    std::vector<int> numbers(const wchar_t* name) const
    {
        std::vector<int> values;
        for (const Msg& msg : received) {
            int value = -1;
            msg.getAttributeValue(name, value);
            values.push_back(value);
        }
        return values;
    }
    std::vector<Msg> received;

private:
    std::set<int> m_types;
};

class PluginInfoRecorder : public MsgRecorder {
public:
    PluginInfoRecorder() : MsgRecorder({Msg::PLUGIN_INFO}) {}
};

// The internal device, telling the test of every message pushed into it
// at the moment it is pushed.
class WatchedInternalDevice : public InternalCommDevice {
public:
    void pushMessage(Msg* msg) override
    {
        if (onPush && msg != nullptr)
            onPush(*msg);
        InternalCommDevice::pushMessage(msg);
    }
    using CommunicationDevice::pushMessage;
    std::function<void(const Msg&)> onPush;
};

class TestFramework : public ApplicationFramework {
public:
    TestFramework() { addCommunicationDevice(m_internal = new WatchedInternalDevice()); }
    // Service timers driven by the clock.
    explicit TestFramework(const Clock& clock) : ApplicationFramework(clock)
    {
        addCommunicationDevice(m_internal = new WatchedInternalDevice());
    }
    // Takes ownership; returns the service.
    template <class S>
    S* add(S* service)
    {
        addService(service);
        return service;
    }
    // Takes ownership; returns the device.
    template <class D>
    D* addDevice(D* device)
    {
        addCommunicationDevice(device);
        return device;
    }
    // Pulses until nothing more happens.
    void drain()
    {
        while (pulse()) {
        }
    }
    WatchedInternalDevice& internal() { return *m_internal; }

private:
    WatchedInternalDevice* m_internal = nullptr;
};

// Moves the clock on in steps of stepMs, draining the framework after each
// step, as the client's 200 ms pulses would; ms in all.
inline void runFor(TestFramework& framework, ManualClock& clock, int64_t ms, int64_t stepMs = 100)
{
    for (int64_t done = 0; done < ms; done += stepMs) {
        clock.advanceMs(stepMs < ms - done ? stepMs : ms - done);
        framework.drain();
    }
}

} // namespace montest
