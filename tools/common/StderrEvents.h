#pragma once
// The tools show the events the product traces on standard error, one line
// each: id, description and details, in UTF-8.
#include <cstdio>
#include <string>

#include "base/Event.h"
#include "base/LogDevice.h"
#include "base/Logger.h"
#include "base/Utf16.h"

namespace toolsupport {

// Writes each event as a line to a stream (standard error unless another is
// given, which the caller keeps open for as long as the logger runs),
// flushed at once so that a reader finds every line once the program ended.
class StderrEvents : public LogDevice {
public:
    explicit StderrEvents(std::FILE* out = stderr) : m_out(out) {}
    void Setup() override {}
    void Write(Event& event) override
    {
        std::wstring line = event.toString(false);
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
            line.pop_back();
        const std::string text = std::to_string(event.getID()) + " " + Utf16::toUtf8(line) + "\n";
        std::fwrite(text.data(), 1, text.size(), m_out);
        std::fflush(m_out);
    }
    void ShutDown() override {}

private:
    std::FILE* m_out;
};

// Starts the logger for the tool with only the standard-error device.
inline void traceToStderr(const std::wstring& toolName)
{
    Logger::initialise(toolName);
    Logger::addCustomTraceDevice(new StderrEvents());
}

} // namespace toolsupport
