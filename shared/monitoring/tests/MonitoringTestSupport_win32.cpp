#include "MonitoringTestSupport.h"

#include "base/WindowsSupport.h"
#include <winsock2.h>

namespace montest {

std::vector<std::wstring> hostAddresses()
{
    std::vector<std::wstring> out;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return out;
    char name[1024] = {};
    if (gethostname(name, sizeof name - 1) == 0) {
        const hostent* host = gethostbyname(name);
        if (host != nullptr && host->h_addrtype == AF_INET) {
            for (char** at = host->h_addr_list; *at != nullptr; ++at) {
                const unsigned char* b = reinterpret_cast<const unsigned char*>(*at);
                out.push_back(std::to_wstring(b[0]) + L"." + std::to_wstring(b[1]) + L"." +
                              std::to_wstring(b[2]) + L"." + std::to_wstring(b[3]));
            }
        }
    }
    WSACleanup();
    return out;
}

} // namespace montest

namespace montest {

std::wstring programFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

std::vector<uint8_t> systemVersionInfo(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<uint8_t> bytes(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, bytes.data()))
        bytes.clear();
    return bytes;
}

} // namespace montest

namespace montest {

Child::Child(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    std::wstring command = L"\"" + program + L"\"";
    for (const std::wstring& argument : arguments)
        command += L" \"" + argument + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return;
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_id = info.dwProcessId;
}

Child::~Child()
{
    if (m_process == nullptr)
        return;
    if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process, 99);
        WaitForSingleObject(m_process, 5000);
    }
    CloseHandle(m_process);
}

long Child::wait(unsigned milliseconds)
{
    if (m_process == nullptr || WaitForSingleObject(m_process, milliseconds) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    return static_cast<long>(code);
}

} // namespace montest
