#include "PlatformTestSupport.h"

#include <vector>

#include "base/WindowsSupport.h"

namespace platformtest {

std::wstring binFolder()
{
    wchar_t buffer[MAX_PATH * 4] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    std::wstring path(buffer, n);
    path.erase(path.find_last_of(L"\\/"));
    return path;
}

std::wstring helperProgram(const std::wstring& name)
{
    return binFolder() + L"\\" + name + L".exe";
}

std::wstring mutexProbe()
{
    return helperProgram(L"mutex_probe_win32");
}

int runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    std::wstring line = L"\"" + program + L"\"";
    for (const std::wstring& a : arguments)
        line += L" \"" + a + L"\"";
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}

void setEnvironment(const std::wstring& name, const std::wstring& value)
{
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

namespace {
HKEY rootHandle(Registry::RootKey root)
{
    switch (root) {
    case Registry::LocalMachine: return HKEY_LOCAL_MACHINE;
    case Registry::CurrentUser: return HKEY_CURRENT_USER;
    case Registry::ClassesRoot: return HKEY_CLASSES_ROOT;
    case Registry::Users: return HKEY_USERS;
    }
    return nullptr;
}
} // namespace

TestKey::TestKey(const std::wstring& stem, Registry::RootKey root)
    : m_root(root), m_path(L"Software\\OndrivexTests\\" + testsupport::uniqueName(stem))
{
    RegDeleteTreeW(rootHandle(m_root), m_path.c_str());
}

TestKey::~TestKey()
{
    RegDeleteTreeW(rootHandle(m_root), m_path.c_str());
}

} // namespace platformtest
