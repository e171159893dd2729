#pragma once
#include <string>
#include "base/TCBaseApi.h"

// The machine-wide switches the errors and the logger read when a process
// starts: DWORD values under HKEY_LOCAL_MACHINE\Software\Ondrivex (in the
// registry's 32-bit view on Windows, see Registry.h). Kept below both, so
// that the errors need not include the logger nor the logger the errors'
// handler setup. Reads never throw; a missing value gives the default.
namespace MachineSwitches {

// "Win32ExceptionHandler": the processor-exception mode (default 1).
TCBASE_API int win32ExceptionHandler();
// "StackTraceInfoDepth": 2 selects the detailed stack traces (default 0).
TCBASE_API int stackTraceInfoDepth();
// The log switch applicationName + suffix ("FileLogging", "DebugStream",
// "ConsoleTrace") is above 0 (missing reads as 0).
TCBASE_API bool logSwitch(const std::wstring& applicationName, const wchar_t* suffix);

} // namespace MachineSwitches
