#include "testsupport/EventCapture.h"

#include <algorithm>

#include "base/Exception.h"
#include "base/Logger.h"

namespace testsupport {

void EventJournal::add(const CapturedEvent& event)
{
    std::lock_guard<std::mutex> g(m_mutex);
    m_events.push_back(event);
    m_changed.notify_all();
}

std::vector<CapturedEvent> EventJournal::all() const
{
    std::lock_guard<std::mutex> g(m_mutex);
    return m_events;
}

size_t EventJournal::size() const
{
    std::lock_guard<std::mutex> g(m_mutex);
    return m_events.size();
}

CapturedEvent EventJournal::at(size_t index) const
{
    std::lock_guard<std::mutex> g(m_mutex);
    return m_events.at(index);
}

size_t EventJournal::count(uint32_t id) const
{
    std::lock_guard<std::mutex> g(m_mutex);
    return static_cast<size_t>(std::count_if(m_events.begin(), m_events.end(),
                                             [id](const CapturedEvent& e) { return e.id == id; }));
}

std::vector<CapturedEvent> EventJournal::withId(uint32_t id) const
{
    std::lock_guard<std::mutex> g(m_mutex);
    std::vector<CapturedEvent> found;
    for (const CapturedEvent& e : m_events) {
        if (e.id == id)
            found.push_back(e);
    }
    return found;
}

CapturedEvent EventJournal::find(uint32_t id) const
{
    std::lock_guard<std::mutex> g(m_mutex);
    for (const CapturedEvent& e : m_events) {
        if (e.id == id)
            return e;
    }
    throw std::out_of_range("no event " + std::to_string(id) + " was recorded");
}

bool EventJournal::waitFor(uint32_t id, CapturedEvent& out, size_t n, int limitMs) const
{
    std::unique_lock<std::mutex> g(m_mutex);
    return m_changed.wait_for(g, std::chrono::milliseconds(limitMs), [&] {
        size_t seen = 0;
        for (const CapturedEvent& e : m_events) {
            if (e.id == id && ++seen == n) {
                out = e;
                return true;
            }
        }
        return false;
    });
}

void EventJournal::clear()
{
    std::lock_guard<std::mutex> g(m_mutex);
    m_events.clear();
}

CapturedEvent capture(Event& event, bool logged)
{
    CapturedEvent c;
    c.id = event.getID();
    c.type = event.getType();
    c.description = event.getDescription();
    c.details = event.getDetails();
    c.line = event.toString(false);
    if (const Exception* e = event.getException()) {
        c.exception = e->toString();
        c.exceptionId = e->getExceptionID();
        c.exceptionText = e->getDescription();
    }
    c.logged = logged;
    return c;
}

namespace {

// Logger::Log hands an event to the log devices and then, still holding the
// logger's lock, to the trace devices: the trace side skips the event the
// log side has just recorded, so that each event is recorded once.
struct Sides {
    std::shared_ptr<EventJournal> journal;
    const Event* justLogged = nullptr;
};

class LogSide : public LogDevice {
public:
    explicit LogSide(std::shared_ptr<Sides> sides) : m_sides(std::move(sides)) {}
    void Setup() override {}
    void Write(Event& event) override
    {
        m_sides->journal->add(capture(event, true));
        m_sides->justLogged = &event;
    }
    void ShutDown() override {}

private:
    std::shared_ptr<Sides> m_sides;
};

class TraceSide : public LogDevice {
public:
    explicit TraceSide(std::shared_ptr<Sides> sides) : m_sides(std::move(sides)) {}
    void Setup() override {}
    void Write(Event& event) override
    {
        if (&event == m_sides->justLogged) {
            m_sides->justLogged = nullptr;
            return;
        }
        m_sides->journal->add(capture(event, false));
    }
    void ShutDown() override {}

private:
    std::shared_ptr<Sides> m_sides;
};

} // namespace

EventRecorder::EventRecorder(const std::wstring& applicationName)
    : m_journal(std::make_shared<EventJournal>())
{
    if (!Logger::isInitialised())
        Logger::initialise(applicationName);
    auto sides = std::make_shared<Sides>();
    sides->journal = m_journal;
    Logger::addCustomLogDevice(new LogSide(sides));
    Logger::addCustomTraceDevice(new TraceSide(sides));
}

EventRecorder::~EventRecorder()
{
    Logger::shutDown();
}

void Journal::add(const std::string& entry)
{
    std::lock_guard<std::mutex> g(m_mutex);
    m_entries.push_back(entry);
}

std::vector<std::string> Journal::entries() const
{
    std::lock_guard<std::mutex> g(m_mutex);
    return m_entries;
}

bool Journal::contains(const std::string& entry) const
{
    std::lock_guard<std::mutex> g(m_mutex);
    return std::find(m_entries.begin(), m_entries.end(), entry) != m_entries.end();
}

void Journal::clear()
{
    std::lock_guard<std::mutex> g(m_mutex);
    m_entries.clear();
}

} // namespace testsupport
