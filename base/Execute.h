#pragma once
#include <string>

#include "base/TCBaseApi.h"

// Runs a helper program and waits a short while for it.
class TCBASE_API Execute {
public:
    static const unsigned long WaitMilliseconds = 5000;

    // Starts folder + separator + command (the folder of this program's own
    // executable when folder is empty) as a new process with a hidden
    // window, and waits up to WaitMilliseconds for it to end. The command is
    // the program's file name, optionally in double quotes, then its
    // arguments: "OndrivexService.exe /stop TavelClientService". True only
    // when the program ended in time; one that runs longer is left running.
    // False for an empty command or when the program cannot be started.
    static bool exec(const std::wstring& command, const std::wstring& folder = std::wstring());

    // Splits a command into the program's file name (quotes removed) and the
    // rest of the line (the arguments, leading blanks removed).
    static void splitCommand(const std::wstring& command, std::wstring& program,
                             std::wstring& arguments);

private:
    // Operating-system half, in win32/Execute.cpp and posix/Execute.cpp.
    // Starts program with the argument text, hidden, and waits up to
    // waitMilliseconds: 1 ended in time, 0 still running, -1 not started.
    static int startAndWait(const std::wstring& program, const std::wstring& arguments,
                            unsigned long waitMilliseconds);
};
