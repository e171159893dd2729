#pragma once
// What every test binary shares: names no other test process uses, its own
// folders, files and registry keys, and the lock around machine-wide
// settings. Natively, each test process also runs with its own registry,
// temporary and data folders (see TestMain.cpp).
#include <cstdint>
#include <string>
#include <vector>

#include "base/Mutex.h"
#include "base/Registry.h"
#include "testsupport/TestProcess.h"

namespace testsupport {

// stem + this process's id, for registry values, files and kernel objects
// shared by test processes running side by side.
std::wstring uniqueName(const std::wstring& stem);

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

// Files read and written without the code under test. readFile gives
// nothing for a missing file; removeFile ignores one.
std::vector<uint8_t> readFile(const std::wstring& path);
void writeFile(const std::wstring& path, const std::string& bytes);
void writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool fileExists(const std::wstring& path); // regular files only
void removeFile(const std::wstring& path);

// A registry key of this test process, "Software\OndrivexTests\" + stem +
// process id under the root, deleted with its subkeys before use and when
// the object goes. Two keys of one stem under different roots share the
// path. (Natively the registry of a test process is a folder of its own,
// removed with the process; the key needs no clean-up there.)
class TestKey {
public:
    explicit TestKey(const std::wstring& stem, Registry::RootKey root = Registry::CurrentUser);
    ~TestKey();
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;
    const std::wstring& path() const { return m_path; }
    Registry::RootKey root() const { return m_root; }

private:
    // Operating-system half, in win32/TestSupport.cpp and posix/TestSupport.cpp.
    // Deletes the key with all its subkeys, when there is one.
    static void removeTree(Registry::RootKey root, const std::wstring& keyPath);

    Registry::RootKey m_root;
    std::wstring m_path;
};

// Tests that change values every process reads (the logging switches and
// modes under the machine key) hold this lock, so that test processes
// running side by side do not see each other's settings.
class MachineSettingsLock {
public:
    MachineSettingsLock()
    {
        m_mutex.initialise(L"OndrivexTests.MachineSettings");
        m_mutex.lock();
    }
    ~MachineSettingsLock() { m_mutex.release(); }
    MachineSettingsLock(const MachineSettingsLock&) = delete;
    MachineSettingsLock& operator=(const MachineSettingsLock&) = delete;

private:
    Mutex m_mutex;
};

} // namespace testsupport
