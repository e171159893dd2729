#include "base/EventSink.h"

#include <atomic>

namespace {

std::atomic<EventSink::Handler> g_trace{nullptr};

} // namespace

void EventSink::connect(Handler trace)
{
    g_trace.store(trace, std::memory_order_release);
}

void EventSink::trace(Event& event)
{
    const Handler handler = g_trace.load(std::memory_order_acquire);
    if (handler == nullptr)
        return;
    try {
        handler(event);
    } catch (...) {
    }
}
