#pragma once
// Shared fixtures for the monitoring tests.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Event.h"
#include "base/LogDevice.h"

namespace montest {

struct Recorded {
    uint32_t id;
    std::wstring description;
    std::wstring details;
    bool logged; // through Logger::Log rather than Logger::Trace alone
};

// Records every event given to the logger from install() on. The logger
// keeps its devices for the life of the process, so the devices are added
// once and each test starts by clearing the record.
class EventRecord {
public:
    static void install();
    static void clear();
    static const std::vector<Recorded>& all();
    // The events of that id, in order.
    static std::vector<Recorded> withId(uint32_t id);
};

// A name unique to this test process (stem + process id), for files and
// kernel objects shared by test processes running side by side.
std::wstring uniqueName(const std::wstring& stem);

// A folder of its own under the system temporary folder, removed with
// everything in it when the object goes.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& stem);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return m_path; }
    // path + separator + name
    std::wstring file(const std::wstring& name) const;

private:
    std::wstring m_path;
};

std::vector<uint8_t> readFile(const std::wstring& path);
void writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool fileExists(const std::wstring& path);
void removeFile(const std::wstring& path);

} // namespace montest

namespace montest {
// The IPv4 addresses of this machine's host name as the platform's older
// resolver (gethostbyname) lists them, dotted decimal; empty when the name
// does not resolve.
std::vector<std::wstring> hostAddresses();
} // namespace montest

#if defined(_WIN32)
namespace montest {
// The folder of the running test program, where the test programs are built.
std::wstring programFolder();
// The bytes the system's version API gives for the file; empty when none.
std::vector<uint8_t> systemVersionInfo(const std::wstring& path);
} // namespace montest
#endif

#if defined(_WIN32)
namespace montest {
// A process started by a test; ended (killed if need be) with the object.
class Child {
public:
    // Starts program (a path) with the arguments, each quoted.
    Child(const std::wstring& program, const std::vector<std::wstring>& arguments);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool started() const { return m_process != nullptr; }
    uint32_t id() const { return m_id; }
    // The exit code, or -1 when it has not ended within the time.
    long wait(unsigned milliseconds);

private:
    void* m_process = nullptr;
    uint32_t m_id = 0;
};
} // namespace montest
#endif
