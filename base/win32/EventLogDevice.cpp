#include "base/EventLogDevice.h"

#include "base/Event.h"
#include "base/EventSink.h"
#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

namespace {

WORD eventLogType(int type)
{
    switch (type) {
    case Event::Info:
        return EVENTLOG_INFORMATION_TYPE;
    case Event::Warning:
        return EVENTLOG_WARNING_TYPE;
    default:
        return EVENTLOG_ERROR_TYPE;
    }
}

} // namespace

void EventLogDevice::Write(Event& event)
{
    try {
        // Registered per event, so a log that is cleared or recreated while
        // the program runs is picked up again. The owner deregisters it on
        // every path, a throw from rendering or tracing included.
        const ScopedEventSource log(RegisterEventSourceW(nullptr, m_source.c_str()));
        if (!log) {
            Event failure(1051201, L"Failed to get a handle to the Eventlog",
                          TC_AT(L"EventLogDevice::Write"));
            failure.addSystemErrorInfo();
            EventSink::trace(failure);
            return;
        }
        const std::wstring text = event.toString(false);
        // The rendered line always ends in CR LF; an otherwise empty line
        // carries no string.
        const bool hasText = text.find_first_not_of(L" \r\n") != std::wstring::npos;
        LPCWSTR strings[1] = {text.c_str()};
        if (!ReportEventW(log.get(), eventLogType(event.getType()), 0, event.getID(), nullptr,
                          hasText ? 1 : 0, 0, hasText ? strings : nullptr, nullptr)) {
            Event failure(1051202, L"Failed to write to the Eventlog",
                          TC_AT(L"EventLogDevice::Write"));
            failure.addSystemErrorInfo();
            EventSink::trace(failure);
        }
    } catch (...) {
        Event failure(1051203, L"An unexpected exception occured while writing to the Eventlog",
                      TC_AT(L"EventLogDevice::Write"));
        EventSink::trace(failure);
    }
}
