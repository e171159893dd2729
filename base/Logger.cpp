#include "base/Logger.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "base/ConsoleLogDevice.h"
#include "base/DebugLogDevice.h"
#include "base/Event.h"
#include "base/EventSink.h"
#include "base/EventLogDevice.h"
#include "base/File.h"
#include "base/FileLogDevice.h"
#include "base/LogDevice.h"
#include "base/MachineSwitches.h"
#include "base/Mutex.h"
#include "base/Tools.h"

const wchar_t* const Logger::DefaultApplicationName = L"Ondrivex";

namespace {

struct LoggerState {
    // Every name the logger has had, kept so that a reference from
    // getApplicationName stays valid when initialise runs again; added to
    // only under setup. applicationName points at the current one.
    std::list<std::wstring> names{Logger::DefaultApplicationName};
    std::atomic<const std::wstring*> applicationName{&names.back()};
    // Read by every call from any thread, so set only once the mutex exists.
    std::atomic<bool> initialised{false};
    // Serialises initialise: the named mutex cannot guard its own creation.
    std::mutex setup;
    std::vector<std::unique_ptr<LogDevice>> logDevices;
    std::vector<std::unique_ptr<LogDevice>> traceDevices;
    Mutex mutex;
};

// Never destroyed: events may still be logged from static destructors and
// from threads that outlive main.
LoggerState& state()
{
    static LoggerState* s = new LoggerState;
    return *s;
}

bool switchedOn(const wchar_t* suffix)
{
    return MachineSwitches::logSwitch(Logger::getApplicationName(), suffix);
}

void writeAll(std::vector<std::unique_ptr<LogDevice>>& devices, Event& event)
{
    // A device that throws ends this call's fan-out; the others get the next event.
    try {
        for (auto& device : devices)
            device->Write(event);
    } catch (...) {
    }
}

void shutDownAll(std::vector<std::unique_ptr<LogDevice>>& devices)
{
    while (!devices.empty()) {
        std::unique_ptr<LogDevice> device = std::move(devices.front());
        devices.erase(devices.begin());
        try {
            device->ShutDown();
        } catch (...) {
        }
    }
}

void addDevice(std::vector<std::unique_ptr<LogDevice>>& devices, LogDevice* raw)
{
    std::unique_ptr<LogDevice> device(raw);
    LoggerState& s = state();
    if (!s.initialised.load(std::memory_order_acquire) || !device)
        return;
    try {
        AutoMutex lock(s.mutex);
        device->Setup();
        devices.push_back(std::move(device));
    } catch (...) {
    }
}

} // namespace

void Logger::initialise(const std::wstring& applicationName)
{
    LoggerState& s = state();
    std::lock_guard<std::mutex> lock(s.setup);
    const std::wstring name =
        applicationName.empty() ? std::wstring(DefaultApplicationName) : applicationName;
    if (*s.applicationName.load(std::memory_order_relaxed) != name) {
        s.names.push_back(name);
        s.applicationName.store(&s.names.back(), std::memory_order_release);
    }
    try {
        if (!s.mutex.isInitialised())
            s.mutex.initialise(Tools::createLocalObjectName(name + L".log.mtx"));
        s.initialised.store(true, std::memory_order_release);
        EventSink::connect(&Logger::Trace);
    } catch (...) {
        // Without its mutex the logger stays off rather than racing other
        // processes on the shared log file.
    }
}

bool Logger::isInitialised()
{
    return state().initialised.load(std::memory_order_acquire);
}

const std::wstring& Logger::getApplicationName()
{
    return *state().applicationName.load(std::memory_order_acquire);
}

void Logger::addFileLogDevice(bool useTempFolder)
{
    if (!isInitialised() || !switchedOn(L"FileLogging"))
        return;
    try {
        std::wstring folder;
        if (useTempFolder) {
            File::initTempPath(false);
            folder = File::getTempPath();
        } else {
            File::initUsersLocalDataPath();
            folder = File::getUsersLocalDataPath();
        }
        if (folder.empty())
            return;
        addCustomTraceDevice(
            new FileLogDevice(folder + File::Separator + L"TL" + getApplicationName() + L".log"));
    } catch (...) {
    }
}

void Logger::addEventLogDevice()
{
    if (isInitialised())
        addCustomLogDevice(new EventLogDevice());
}

void Logger::addDebugStreamLogDevice()
{
    if (isInitialised() && switchedOn(L"DebugStream"))
        addCustomTraceDevice(new DebugLogDevice());
}

void Logger::addConsoleLogDevice()
{
    if (isInitialised() && switchedOn(L"ConsoleTrace"))
        addCustomTraceDevice(new ConsoleLogDevice());
}

void Logger::addCustomTraceDevice(LogDevice* device)
{
    addDevice(state().traceDevices, device);
}

void Logger::addCustomLogDevice(LogDevice* device)
{
    addDevice(state().logDevices, device);
}

void Logger::Log(Event& event)
{
    LoggerState& s = state();
    if (!s.initialised.load(std::memory_order_acquire))
        return;
    try {
        AutoMutex lock(s.mutex);
        writeAll(s.logDevices, event);
        Trace(event);
    } catch (...) {
    }
}

void Logger::Trace(Event& event)
{
    LoggerState& s = state();
    if (!s.initialised.load(std::memory_order_acquire))
        return;
    try {
        AutoMutex lock(s.mutex);
        writeAll(s.traceDevices, event);
    } catch (...) {
    }
}

void Logger::shutDown()
{
    LoggerState& s = state();
    if (!s.initialised.load(std::memory_order_acquire))
        return;
    try {
        AutoMutex lock(s.mutex);
        shutDownAll(s.logDevices);
        shutDownAll(s.traceDevices);
    } catch (...) {
    }
}
