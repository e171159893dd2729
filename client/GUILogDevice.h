#pragma once
#include <deque>
#include <string>

#include "base/LogDevice.h"
#include "base/Mutex.h"

// The trace sink behind the log window: every traced event's line is kept
// until the window takes it. Written from any thread that logs, read on the
// window's thread.
class GUILogDevice : public LogDevice {
public:
    void Setup() override;
    // Appends the event's line with its headers.
    void Write(Event& event) override;
    void ShutDown() override {}

    // Moves the oldest waiting line into line; false (line unchanged) when
    // none waits.
    bool getNextLogLine(std::wstring& line);

private:
    Mutex m_mutex;
    std::deque<std::wstring> m_lines;
};
