#pragma once
// Fixtures for the tests of the platform wrappers: own folders and registry
// keys per test process, helper programs beside the tests, captured events.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "base/Registry.h"

namespace platformtest {

// The folder holding the test executable and its helper programs, found
// without the code under test.
std::wstring binFolder();
// A helper program's full path ("name" gets ".exe" on Windows).
std::wstring helperProgram(const std::wstring& name);
// The second process of the named mutex tests (see helpers/mutex_probe_*).
std::wstring mutexProbe();
// Runs a program with the arguments and waits for it; its exit code, or -1
// when it could not be started.
int runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments);
// Sets an environment variable for this process and the programs it starts.
void setEnvironment(const std::wstring& name, const std::wstring& value);

// A fresh, empty folder under the system temporary folder, removed with
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

// Whether two folder paths name the same folder, ignoring trailing
// separators and, on Windows, case. (std::filesystem::equivalent cannot be
// used: under Wine it tells no two folders apart.)
bool sameFolder(const std::wstring& a, const std::wstring& b);

// Writes bytes to a file without the code under test.
void writeFile(const std::wstring& path, const std::string& bytes);
bool fileExists(const std::wstring& path);

// A registry key of this test process under HKEY_CURRENT_USER, deleted with
// its subkeys when the object goes.
class TestKey {
public:
    explicit TestKey(const std::wstring& stem, Registry::RootKey root = Registry::CurrentUser);
    ~TestKey();
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;
    const std::wstring& path() const { return m_path; }
    Registry::RootKey root() const { return m_root; }

private:
    Registry::RootKey m_root;
    std::wstring m_path;
};

// Starts the logger (once per process) and records every traced event
// until the object goes.
class EventRecorder {
public:
    EventRecorder();
    ~EventRecorder();
    const std::vector<testsupport::CapturedEvent>& events() const { return *m_events; }
    size_t count(uint32_t id) const;
    // The first event with that id, or null.
    const testsupport::CapturedEvent* find(uint32_t id) const;
    void clear() { m_events->clear(); }

private:
    std::shared_ptr<std::vector<testsupport::CapturedEvent>> m_events;
};

} // namespace platformtest
