#pragma once
#include "base/LogDevice.h"
#include "base/TCBaseApi.h"

// Prints each event's line, with headers, to standard output as UTF-8.
class TCBASE_API ConsoleLogDevice : public LogDevice {
public:
    void Setup() override {}
    void Write(Event& event) override;
    void ShutDown() override {}
};
