#pragma once
// Starts a helper program that lives beside the test binary, as a second
// process for cross-process tests. The helper's standard input is a pipe
// that the test holds: closing it tells the helper to finish.
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class HelperProcess {
public:
    HelperProcess();
    ~HelperProcess(); // closes the input, waits briefly, then kills
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // name without extension; arguments are passed as they are (no blanks
    // or quotes in them). False when the program cannot be started.
    bool start(const std::wstring& name, const std::vector<std::wstring>& arguments);
    void closeInput();
    // Waits up to timeoutMs for the helper to end; true with its exit code
    // when it has.
    bool wait(unsigned long timeoutMs, int& exitCode);
    void kill();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// The folder of the running test binary, with a trailing separator.
std::wstring binaryFolder();

} // namespace testsupport
