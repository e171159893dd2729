#pragma once
#include "base/LogDevice.h"

// Sends each event's line, with headers, to the debugger output (natively,
// to standard error).
class DebugLogDevice : public LogDevice {
public:
    void Setup() override {}
    void Write(Event& event) override;
    void ShutDown() override {}
};
