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
    return static_cast<size_t>(
        std::count_if(m_events.begin(), m_events.end(), [id](const CapturedEvent& e) { return e.id == id; }));
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

void CaptureDevice::Write(Event& event)
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
    m_journal->add(c);
}

EventRecorder::EventRecorder(const std::wstring& applicationName) : m_journal(std::make_shared<EventJournal>())
{
    if (!Logger::isInitialised())
        Logger::initialise(applicationName);
    Logger::addCustomTraceDevice(new CaptureDevice(m_journal));
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
