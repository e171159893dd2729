#include "shared/monitoring/ProcessController.h"

#include <atomic>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/Tools.h"

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
constexpr uint32_t ProcessController::NotFound;

bool ProcessController::sameExeName(const std::wstring& a, const std::wstring& b)
{
    return Tools::equalsIgnoringCase(a, b);
}

uint32_t ProcessController::chooseProcess(const std::vector<ProcessEntry>& processes,
                                          const std::wstring& exeName, uint32_t consoleSession,
                                          SessionLookup sessionOf)
{
    uint32_t first = NotFound;
    for (const ProcessEntry& process : processes) {
        if (!sameExeName(process.exeName, exeName))
            continue;
        uint32_t session = consoleSession;
        if (sessionOf == nullptr || !sessionOf(process.id, session))
            session = consoleSession;
        if (session == consoleSession)
            return process.id;
        if (first == NotFound)
            first = process.id;
    }
    return first;
}

uint32_t ProcessController::getActiveConsoleSessionID()
{
    // Each cause is reported once: the service asks every ten seconds.
    static std::atomic<bool> s_reportedNoKernel(false);
    static std::atomic<bool> s_reportedNoFunction(false);

    ConsoleLookup result = ConsoleLookup::Ok;
    const uint32_t session = activeConsoleSession(result);
    if (result == ConsoleLookup::NoKernel && !s_reportedNoKernel.exchange(true)) {
        Event e(1063909, L"ProcessController: Unable to load kernel32.dll",
                TC_AT(L"ProcessController::getActiveConsoleSessionID"));
        e.addSystemErrorInfo();
        Logger::Trace(e);
    } else if (result == ConsoleLookup::NoFunction && !s_reportedNoFunction.exchange(true)) {
        Event e(1063910,
                L"ProcessController: Unable to locate function WTSGetActiveConsoleSessionId",
                TC_AT(L"ProcessController::getActiveConsoleSessionID"));
        e.addSystemErrorInfo();
        Logger::Trace(e);
    }
    return result == ConsoleLookup::Ok ? session : 0;
}

uint32_t ProcessController::getProcessID(const wchar_t* exeName)
{
    if (exeName == nullptr)
        return NotFound;
    const uint32_t console = getActiveConsoleSessionID();
    std::vector<ProcessEntry> processes;
    if (!snapshot(processes)) {
        Event e(1063908, L"ProcessController: Unable to get process snap shot",
                TC_AT(L"ProcessController::getProcessID"));
        e.addSystemErrorInfo();
        Logger::Trace(e);
        return NotFound;
    }
    return chooseProcess(processes, exeName, console, &ProcessController::sessionOf);
}

bool ProcessController::isProcessRunning(const wchar_t* exeName)
{
    return getProcessID(exeName) != NotFound;
}

bool ProcessController::startProcess(const std::wstring& path)
{
    const uint32_t shell = getProcessID(L"explorer.exe");
    if (shell == NotFound) {
        Event e(1063911, L"Can not find explorer.exe process",
                TC_AT(L"ProcessController::startProcess"));
        e.addDetails(L"ProcessID", static_cast<long long>(shell));
        Logger::Trace(e);
        return false;
    }
    return startAsUserOf(shell, path);
}
