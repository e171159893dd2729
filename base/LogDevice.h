#pragma once
#include "base/TCBaseApi.h"
class Event;

// A sink for events. The logger owns the devices added to it, calls Setup
// when adding and ShutDown before destroying them.
class TCBASE_API LogDevice {
public:
    virtual ~LogDevice() = default;
    virtual void Setup() = 0;
    virtual void Write(Event& event) = 0;
    virtual void ShutDown() = 0;
};
