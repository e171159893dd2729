#pragma once
// Second processes for cross-process tests: the helper programs built
// beside the tests, or any program by its path.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// The folder holding the running test program and the helper programs
// built with it, found without the code under test; no trailing separator.
std::wstring binFolder();
// A helper program's full path ("name" gets ".exe" on Windows).
std::wstring helperProgram(const std::wstring& name);

// A program started by a test. Its standard input is a pipe that the test
// holds: closing it tells a helper that reads it to finish. When the object
// goes, the input is closed and the program given a few seconds to end
// before it is killed.
class ChildProcess {
public:
    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program (a full path) with the arguments, each passed as one
    // argument (on Windows each is quoted: no quotes in them, and no
    // backslash at their end). False when it cannot be started.
    bool start(const std::wstring& program, const std::vector<std::wstring>& arguments);
    bool started() const;
    uint32_t id() const; // the process id; 0 before start
    void closeInput();
    // Waits up to timeoutMs (Forever: without limit) for the program to end;
    // true with its exit code when it has. Natively a program ended by a
    // signal gives 128 + the signal's number.
    bool wait(unsigned long timeoutMs, int& exitCode);
    void kill();

    static const unsigned long Forever = 0xFFFFFFFFul;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// Runs the program with the arguments (as ChildProcess::start passes them)
// and waits for it; its exit code, or -1 when it could not be started.
int runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments);

#if defined(_WIN32)
// Runs a command line as the system would (the program found on the path),
// without a window, and collects what it writes to its standard output and
// error. False when it cannot be started; otherwise output and exitCode are
// set once it has ended.
bool runCapturingOutput(const std::wstring& commandLine, std::string& output,
                        unsigned long& exitCode);
#endif

} // namespace testsupport
