#pragma once
// What the foreground-tracking benchmarks share: a framework with only the
// tracking service, whose plug-in messages a sink takes and drops.
#include <string>

#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/System.h"

namespace bench {

class TrackingSink : public Service {
public:
    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override { return msg.getType() == Msg::PLUGIN_INFO; }
    bool processMsg(Msg&) override { return true; }
};

class TrackingFramework : public ApplicationFramework {
public:
    TrackingFramework(System& system, const std::wstring& rules)
    {
        addCommunicationDevice(new InternalCommDevice());
        tracking = new GenericAppChangeService(system, rules);
        addService(tracking);
        addService(new TrackingSink());
    }
    GenericAppChangeService* tracking;
};

} // namespace bench
