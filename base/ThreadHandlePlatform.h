#pragma once
// The operating-system side of ThreadHandle. ThreadHandle answers for a
// handle without a thread; these functions see only started threads.
#include "base/ThreadHandle.h"

namespace threadplatform {

// Creates the stop event, unsignalled, then the thread running
// entry(context). Null, with nothing created, when either cannot be made.
ThreadHandle::Impl* start(ThreadHandle::Entry entry, void* context);
// Frees what start gave; a thread still running runs on by itself.
void release(ThreadHandle::Impl* thread);
void signalStop(ThreadHandle::Impl& thread);
bool waitForStop(ThreadHandle::Impl& thread, unsigned long ms);
bool join(ThreadHandle::Impl& thread, unsigned long ms);
void kill(ThreadHandle::Impl& thread, unsigned long exitCode);
bool exitCode(const ThreadHandle::Impl& thread, unsigned long& code);

} // namespace threadplatform
