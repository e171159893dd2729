#pragma once
#include <mutex>
#include <string>
#include <vector>

// Failures the server produces on purpose, so that tests can watch a client
// meet them. Switched at start (serve --fault) and at run time (the control
// port); every switch is one text:
//
//   refuse            stop listening: connections are refused
//   404[=PATH]        answer 404 to every request, or to PATH only
//   slow=MS           wait MS milliseconds before answering each request
//   garbage[=PATH]    answer 200 with bytes that are no message, or no
//                     hello text (every path, or PATH only)
//   htmlhello         answer "/Hello" with a page that starts with "<"
//   wrongkey          sign every encrypted reply with a key that is not the
//                     session key
//   lostreply=N       handle the next N submissions (store what they carry)
//                     and then answer 500 instead of the reply, as when a
//                     reply is lost on the way back
//   none              switch every fault off
//
// Thread-safe: the HTTP worker threads read, the control port writes.
class Faults {
public:
    // Applies one switch; false (and nothing changed) for an unknown text.
    bool apply(const std::string& text);
    void clear();

    bool refusing() const;
    bool notFound(const std::string& path) const;
    int slowMilliseconds() const;
    bool garbage(const std::string& path) const;
    bool htmlHello() const;
    bool wrongKey() const;
    // true (and one fewer left) when this submission's reply is to be lost
    bool takeLostReply();

    // The switches in force, one per line, as apply() takes them.
    std::string describe() const;

private:
    void resetLocked();

    mutable std::mutex m_lock;
    bool m_refuse = false;
    bool m_notFound = false;
    std::string m_notFoundPath; // empty: every path
    int m_slowMs = 0;
    bool m_garbage = false;
    std::string m_garbagePath;
    bool m_htmlHello = false;
    bool m_wrongKey = false;
    int m_lostReplies = 0;
};
