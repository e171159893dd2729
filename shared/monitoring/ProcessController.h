#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "shared/TCShrdApi.h"

// Finds processes by executable name and starts a program as the user of the
// interactive desktop (the Windows service does both for the client).
class TCSHRD_API ProcessController {
public:
    static constexpr uint32_t NotFound = 0xFFFFFFFF;

    // Whether a process of that executable file name (any case) runs.
    static bool isProcessRunning(const wchar_t* exeName);

    // Starts the program at path in the console user's session with that
    // user's rights and environment, borrowing the token of the user's shell
    // ("explorer.exe"). Every failure is traced (1063901 to 1063911) and
    // gives false; the caller's own identity is restored on every path.
    static bool startProcess(const std::wstring& path);

    // One process as a snapshot sees it.
    struct ProcessEntry {
        uint32_t id = 0;
        std::wstring exeName;
    };

protected:
    // The id of a process of that executable name (any case), one in the
    // active console session preferred; NotFound when none matches or the
    // process list cannot be had (traced 1063908).
    static uint32_t getProcessID(const wchar_t* exeName);

    // The active console session, 0 when the system cannot tell (each cause
    // traced once per process: 1063909, 1063910).
    static uint32_t getActiveConsoleSessionID();

    // Looks up a process's session. False when that fails.
    using SessionLookup = bool (*)(uint32_t processId, uint32_t& session);

    // The choice getProcessID makes among the processes of a snapshot: the
    // first match in the console session, else the first match, else
    // NotFound. A process whose session cannot be had counts as one of the
    // console session.
    static uint32_t chooseProcess(const std::vector<ProcessEntry>& processes,
                                  const std::wstring& exeName, uint32_t consoleSession,
                                  SessionLookup sessionOf);

    // Executable names compare as the file system does: without regard to
    // case.
    static bool sameExeName(const std::wstring& a, const std::wstring& b);

private:
    // Operating-system half, in win32/ProcessController.cpp and
    // posix/ProcessController.cpp.

    // Every process running now. False, with the system error left set, when
    // the list cannot be had.
    static bool snapshot(std::vector<ProcessEntry>& processes);
    // The session of a process. False when it cannot be had.
    static bool sessionOf(uint32_t processId, uint32_t& session);
    // The active console session: 0 and a cause when the system cannot tell.
    enum class ConsoleLookup { Ok, NoKernel, NoFunction };
    static uint32_t activeConsoleSession(ConsoleLookup& result);
    // Starts path as the user of the process shellId; see startProcess.
    // Traces its own failures.
    static bool startAsUserOf(uint32_t shellId, const std::wstring& path);
};
