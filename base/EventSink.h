#pragma once
#include "base/TCBaseApi.h"
class Event;

// Where the units below the logger (the errors, Tools, File, Mutex, the log
// devices) send the events they trace, so that they need not include the
// logger that builds on them. Logger::initialise connects Logger::Trace;
// until then an event goes nowhere, as it would through Logger::Trace.
namespace EventSink {

using Handler = void (*)(Event& event);

// Any thread may trace while another connects.
TCBASE_API void connect(Handler trace);
// Hands the event to the connected handler. Never throws.
TCBASE_API void trace(Event& event);

} // namespace EventSink
