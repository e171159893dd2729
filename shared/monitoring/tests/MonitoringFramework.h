#pragma once
// A framework for the monitoring tests: the internal device, the services
// under test and a recorder that keeps every PLUGIN_INFO message sent.
#include <memory>
#include <vector>

#include "base/Msg.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/framework/Service.h"

namespace montest {

class PluginInfoRecorder : public Service {
public:
    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override { return msg.getType() == Msg::PLUGIN_INFO; }
    bool processMsg(Msg& msg) override
    {
        received.push_back(msg);
        return true;
    }
    std::vector<Msg> received;
};

class TestFramework : public ApplicationFramework {
public:
    TestFramework() { addCommunicationDevice(new InternalCommDevice()); }
    // Takes ownership; returns the service.
    template <class S>
    S* add(S* service)
    {
        addService(service);
        return service;
    }
    // Pulses until nothing more happens.
    void drain()
    {
        while (pulse()) {
        }
    }
};

} // namespace montest
