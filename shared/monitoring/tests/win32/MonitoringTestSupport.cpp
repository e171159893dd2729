#include "MonitoringTestSupport.h"

#include "base/win32/WindowsSupport.h"
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
