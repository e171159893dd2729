#pragma once
// Event capture and waiting for tests in which worker threads trace while
// the test thread reads.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/LogDevice.h"
#include "base/Logger.h"

namespace testsupport {

struct TracedEvent {
    uint32_t id;
    std::wstring description;
    std::wstring details;
    int exceptionId; // 0 without an exception
    std::wstring exceptionText;
};

// The records shared by the device (owned by the logger) and the test.
class EventJournal {
public:
    void add(const TracedEvent& e)
    {
        std::lock_guard<std::mutex> g(m_mutex);
        m_events.push_back(e);
        m_changed.notify_all();
    }
    std::vector<TracedEvent> all() const
    {
        std::lock_guard<std::mutex> g(m_mutex);
        return m_events;
    }
    size_t count(uint32_t id) const
    {
        std::lock_guard<std::mutex> g(m_mutex);
        size_t n = 0;
        for (const auto& e : m_events)
            n += e.id == id ? 1 : 0;
        return n;
    }
    // Waits (up to a limit that only guards against a hang) until n events
    // of that id have been traced; returns the n-th.
    bool waitFor(uint32_t id, TracedEvent& out, size_t n = 1, int limitMs = 20000)
    {
        std::unique_lock<std::mutex> g(m_mutex);
        const bool found = m_changed.wait_for(g, std::chrono::milliseconds(limitMs), [&] {
            size_t seen = 0;
            for (const auto& e : m_events) {
                if (e.id == id && ++seen == n) {
                    out = e;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<TracedEvent> m_events;
};

class JournalDevice : public LogDevice {
public:
    explicit JournalDevice(std::shared_ptr<EventJournal> journal) : m_journal(std::move(journal)) {}
    void Setup() override {}
    void Write(Event& event) override
    {
        const Exception* e = event.getException();
        m_journal->add(TracedEvent{event.getID(), event.getDescription(), event.getDetails(),
                                   e != nullptr ? e->getExceptionID() : 0,
                                   e != nullptr ? e->getDescription() : std::wstring()});
    }
    void ShutDown() override {}

private:
    std::shared_ptr<EventJournal> m_journal;
};

// Initialises the logger under a name of its own with a journal as its only
// trace device; shuts the logger down at the end of the scope.
class TraceJournal {
public:
    explicit TraceJournal(const std::wstring& applicationName) : journal(std::make_shared<EventJournal>())
    {
        Logger::initialise(applicationName);
        Logger::addCustomTraceDevice(new JournalDevice(journal));
    }
    ~TraceJournal() { Logger::shutDown(); }
    std::shared_ptr<EventJournal> journal;
};

// Polls until ready() holds; the limit only guards against a hang.
template <class Ready>
bool eventually(Ready ready, int limitMs = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace testsupport
