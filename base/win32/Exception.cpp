#include "base/Exception.h"

#include "base/win32/WindowsSupport.h"

// Processor exceptions in this build.
//
// GCC cannot throw a C++ exception out of a processor fault, and MinGW has no
// per-thread structured-exception translator. Instead, a thread that calls
// registerWin32ExceptionHandler is marked, and one process-wide vectored
// handler looks at the faults raised on marked threads:
//   mode 2        the fault goes on to its normal dispatch untouched;
//   mode 1, other translate() builds Exception 1051401 with the code, flags,
//                 address and record parameters, traces event 1051402 with
//                 it, and the fault then goes on to its normal dispatch
//                 (a frame handler, or the end of the process).
// So the trace records every processor fault of a registered thread before
// the process reacts to it; nothing is thrown.

namespace {

thread_local bool t_registered = false;
PVOID g_handler = nullptr;

bool isProcessorFault(DWORD code)
{
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
        return true;
    default:
        // Stack overflow is left alone: there is no stack left to describe it.
        return false;
    }
}

LONG CALLBACK vectoredHandler(EXCEPTION_POINTERS* pointers)
{
    if (!t_registered || pointers == nullptr || pointers->ExceptionRecord == nullptr)
        return EXCEPTION_CONTINUE_SEARCH;
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (!isProcessorFault(code) || Exception::getWin32ExceptionMode() == 2)
        return EXCEPTION_CONTINUE_SEARCH;
    // Only the first fault in a chain is described; a fault while describing
    // one must not recurse.
    t_registered = false;
    try {
        Exception::translate(code, pointers);
    } catch (...) {
    }
    t_registered = true;
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void Exception::watchCallingThread(bool watch)
{
    t_registered = watch;
    if (watch && g_handler == nullptr)
        g_handler = AddVectoredExceptionHandler(1, vectoredHandler);
}

void Exception::addRecordParameters(Exception& e, _EXCEPTION_POINTERS* pointers)
{
    if (pointers == nullptr || pointers->ExceptionRecord == nullptr)
        return;
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    e.addParameter(Exception::hexText(record->ExceptionFlags));
    e.addParameter(Exception::hexText(reinterpret_cast<ULONG_PTR>(record->ExceptionAddress)));
    for (DWORD i = 0; i < record->NumberParameters && i < EXCEPTION_MAXIMUM_PARAMETERS; ++i)
        e.addParameter(Exception::hexText(record->ExceptionInformation[i]));
}
