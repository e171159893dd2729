#pragma once
// Shared fixtures for the foundation tests.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/LogDevice.h"
#include "base/Mutex.h"

namespace testsupport {

// A trace or log device that records every event it is given. The records
// live in a shared list so that the test can read them after the logger has
// taken ownership of the device.
struct CapturedEvent {
    uint32_t id;
    int type;
    std::wstring description;
    std::wstring details;
    std::wstring line; // rendered without headers
    std::wstring exception;
};

class CaptureDevice : public LogDevice {
public:
    explicit CaptureDevice(std::shared_ptr<std::vector<CapturedEvent>> sink) : m_sink(std::move(sink)) {}
    void Setup() override {}
    void Write(Event& event) override
    {
        CapturedEvent c{event.getID(), event.getType(), event.getDescription(), event.getDetails(),
                        event.toString(false), std::wstring()};
        if (event.getException() != nullptr)
            c.exception = event.getException()->toString();
        m_sink->push_back(c);
    }
    void ShutDown() override {}

private:
    std::shared_ptr<std::vector<CapturedEvent>> m_sink;
};

// Tests that change values every process reads (the logging switches and
// modes under the machine key) hold this lock, so that test processes
// running side by side do not see each other's settings.
class MachineSettingsLock {
public:
    MachineSettingsLock() { m_mutex.initialise(L"OndrivexTests.MachineSettings"); m_mutex.lock(); }
    ~MachineSettingsLock() { m_mutex.release(); }

private:
    Mutex m_mutex;
};

// A name unique to this test process, for registry values, files and objects.
std::wstring uniqueName(const std::wstring& stem);

} // namespace testsupport

namespace testsupport {
// Holds a file open for writing without sharing, as another process writing
// the same log would.
class ExclusiveFileHold {
public:
    explicit ExclusiveFileHold(const std::wstring& path);
    ~ExclusiveFileHold();
    bool held() const { return m_held; }

private:
    bool m_held = false;
    intptr_t m_handle = -1;
};
} // namespace testsupport
