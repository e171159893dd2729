#pragma once
#include "base/LogDevice.h"
#include "base/TCBaseApi.h"

// Sends each event's line, with headers, to the debugger output (natively,
// to standard error).
class TCBASE_API DebugLogDevice : public LogDevice {
public:
    void Setup() override {}
    void Write(Event& event) override;
    void ShutDown() override {}
};
