#include "shared/monitoring/MachineDetails.h"

#include <cstring>

#include "base/win32/WindowsSupport.h"
#include <winsock2.h>

bool MachineDetails::startSockets()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void MachineDetails::stopSockets()
{
    WSACleanup();
}

bool MachineDetails::hostName(std::string& name)
{
    char buffer[1024] = {};
    if (gethostname(buffer, sizeof buffer) != 0) {
        SetLastError(static_cast<DWORD>(WSAGetLastError()));
        return false;
    }
    buffer[sizeof buffer - 1] = '\0';
    name = buffer;
    return true;
}

bool MachineDetails::firstAddress(const std::string& name, uint8_t bytes[4])
{
    // The sockets library's own host look-up: for the machine's own name it
    // lists the addresses of the network interfaces, where the newer
    // resolver may answer with the loopback address. Its result lives in
    // storage of the calling thread.
    const hostent* host = gethostbyname(name.c_str());
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 ||
        host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr)
        return false;
    std::memcpy(bytes, host->h_addr_list[0], 4);
    return true;
}
