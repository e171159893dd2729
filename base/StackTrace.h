#pragma once
#include <string>
#include "base/TCBaseApi.h"

struct _EXCEPTION_POINTERS;

// Call-stack capture for exceptions. Never throws: a failure leaves the text
// empty. The registry value "StackTraceInfoDepth" = 2 selects the detailed
// form (more frames, full module paths); anything else the short one.
namespace StackTrace {
// The calling thread's stack, or the faulting context's when pointers are given.
TCBASE_API std::wstring capture(_EXCEPTION_POINTERS* pointers);
// 1 or 3, read once per process.
TCBASE_API int detailLevel();
} // namespace StackTrace
