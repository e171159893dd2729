#pragma once
#include <string>

#include "base/LogDevice.h"
#include "base/TCBaseApi.h"

// Writes events to the system's event log under a source name (natively, to
// syslog). Failures are traced, never thrown.
class TCBASE_API EventLogDevice : public LogDevice {
public:
    explicit EventLogDevice(const std::wstring& source = L"Ondrivex") : m_source(source) {}
    void Setup() override {}
    void Write(Event& event) override;
    void ShutDown() override {}

    const std::wstring& getSource() const { return m_source; }

private:
    std::wstring m_source;
};
