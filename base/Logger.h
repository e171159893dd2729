#pragma once
#include <string>

#include "base/TCBaseApi.h"

class Event;
class LogDevice;

// Process-wide logging. Log reaches the event log and the trace devices,
// Trace only the trace devices (log file, debugger output, console).
// Every call before initialise does nothing; no call throws.
class TCBASE_API Logger {
public:
    static const wchar_t* const DefaultApplicationName; // "Ondrivex"

    static void initialise(const std::wstring& applicationName = DefaultApplicationName);
    static bool isInitialised();
    static const std::wstring& getApplicationName();

    // Standard devices, each added only when its registry switch is above 0
    // (the event log device always).
    static void addFileLogDevice(bool useTempFolder = false);
    static void addEventLogDevice();
    static void addDebugStreamLogDevice();
    static void addConsoleLogDevice();
    // The logger owns the device from then on (also when adding fails).
    static void addCustomTraceDevice(LogDevice* device);
    static void addCustomLogDevice(LogDevice* device);

    static void Log(Event& event);
    static void Trace(Event& event);
    static void shutDown();
};
