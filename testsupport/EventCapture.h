#pragma once
// Recording the events the logger is given, for tests that check what was
// traced or logged, including tests whose worker threads trace while the
// test thread reads.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/Event.h"
#include "base/LogDevice.h"

namespace testsupport {

struct CapturedEvent {
    uint32_t id = 0;
    int type = 0;
    std::wstring description;
    std::wstring details;
    std::wstring line;          // rendered without headers
    std::wstring exception;     // the exception's whole text; empty without one
    int exceptionId = 0;        // 0 without an exception
    std::wstring exceptionText; // the exception's description
    bool logged = false;        // given to Logger::Log, not to Logger::Trace alone
};

// The records a device (owned by the logger) shares with the test; safe to
// use from any thread. Readers get copies.
class EventJournal {
public:
    void add(const CapturedEvent& event);
    std::vector<CapturedEvent> all() const;
    size_t size() const;
    bool empty() const { return size() == 0; }
    CapturedEvent at(size_t index) const; // throws std::out_of_range
    size_t count(uint32_t id) const;
    // The events of that id, in order.
    std::vector<CapturedEvent> withId(uint32_t id) const;
    // The first event with that id; throws std::out_of_range when there is
    // none, which fails the test that asked.
    CapturedEvent find(uint32_t id) const;
    // Waits (up to a limit that only guards against a hang) until n events
    // of that id have been recorded; true with the n-th in out.
    bool waitFor(uint32_t id, CapturedEvent& out, size_t n = 1, int limitMs = 20000) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<CapturedEvent> m_events;
};

// The record of one event as a device is given it.
CapturedEvent capture(Event& event, bool logged = false);

// A trace or log device that records every event it is given.
class CaptureDevice : public LogDevice {
public:
    explicit CaptureDevice(std::shared_ptr<EventJournal> journal) : m_journal(std::move(journal)) {}
    void Setup() override {}
    void Write(Event& event) override { m_journal->add(capture(event)); }
    void ShutDown() override {}

private:
    std::shared_ptr<EventJournal> m_journal;
};

// Initialises the logger under the name given (unless it already runs) and
// records every event logged or traced until the object goes, each once,
// marked with the way it came; the logger is shut down then.
class EventRecorder {
public:
    explicit EventRecorder(const std::wstring& applicationName = L"OndrivexTests");
    ~EventRecorder();
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    std::vector<CapturedEvent> all() const { return m_journal->all(); }
    size_t count(uint32_t id) const { return m_journal->count(id); }
    std::vector<CapturedEvent> withId(uint32_t id) const { return m_journal->withId(id); }
    CapturedEvent find(uint32_t id) const { return m_journal->find(id); }
    bool waitFor(uint32_t id, CapturedEvent& out, size_t n = 1, int limitMs = 20000) const
    {
        return m_journal->waitFor(id, out, n, limitMs);
    }
    void clear() { m_journal->clear(); }

private:
    std::shared_ptr<EventJournal> m_journal;
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

// What fakes did, in order, from whichever thread did it.
class Journal {
public:
    void add(const std::string& entry);
    std::vector<std::string> entries() const;
    bool contains(const std::string& entry) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_entries;
};

} // namespace testsupport
