#include "MonitoringTestSupport.h"

#include "base/Event.h"
#include "base/LogDevice.h"
#include "base/Logger.h"

namespace montest {
namespace {

std::vector<Recorded>& record()
{
    static std::vector<Recorded>* events = new std::vector<Recorded>;
    return *events;
}

// Logger::Log hands the event to the log devices, then to the trace
// devices: the trace side skips the event the log side has just recorded,
// so every event is recorded once, marked with the way it came.
const Event* g_justLogged = nullptr;

class TraceSide : public LogDevice {
public:
    void Setup() override {}
    void ShutDown() override {}
    void Write(Event& event) override
    {
        if (&event == g_justLogged) {
            g_justLogged = nullptr;
            return;
        }
        record().push_back({event.getID(), event.getDescription(), event.getDetails(), false});
    }
};

class LogSide : public LogDevice {
public:
    void Setup() override {}
    void ShutDown() override {}
    void Write(Event& event) override
    {
        record().push_back({event.getID(), event.getDescription(), event.getDetails(), true});
        g_justLogged = &event;
    }
};

} // namespace

void EventRecord::install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    Logger::initialise(L"OndrivexMonitoringTests");
    Logger::addCustomTraceDevice(new TraceSide);
    Logger::addCustomLogDevice(new LogSide);
}

void EventRecord::clear()
{
    record().clear();
}

const std::vector<Recorded>& EventRecord::all()
{
    return record();
}

std::vector<Recorded> EventRecord::withId(uint32_t id)
{
    std::vector<Recorded> found;
    for (const Recorded& event : record()) {
        if (event.id == id)
            found.push_back(event);
    }
    return found;
}

} // namespace montest
