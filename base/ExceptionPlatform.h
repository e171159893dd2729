#pragma once
// What processor-exception handling needs from the operating system.
struct _EXCEPTION_POINTERS;
class Exception;

namespace exceptionplatform {
// Marks the calling thread for fault tracing (or unmarks it) and installs
// the process's fault handler once. Natively there is nothing to install.
void watchCallingThread(bool watch);
// Adds the fault record's flags, address and parameters to e.
void addRecordParameters(Exception& e, _EXCEPTION_POINTERS* pointers);
} // namespace exceptionplatform
