#include "shared/monitoring/MachineDetails.h"

#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

bool MachineDetails::startSockets()
{
    return true;
}

void MachineDetails::stopSockets() {}

bool MachineDetails::hostName(std::string& name)
{
    char buffer[1024] = {};
    if (gethostname(buffer, sizeof buffer) != 0)
        return false;
    buffer[sizeof buffer - 1] = '\0';
    name = buffer;
    return true;
}

bool MachineDetails::firstAddress(const std::string& name, uint8_t bytes[4])
{
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    bool ok = false;
    for (const addrinfo* at = found; at != nullptr && !ok; at = at->ai_next) {
        if (at->ai_family == AF_INET && at->ai_addr != nullptr &&
            at->ai_addrlen >= sizeof(sockaddr_in)) {
            const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(at->ai_addr);
            std::memcpy(bytes, &in->sin_addr, 4);
            ok = true;
        }
    }
    freeaddrinfo(found);
    return ok;
}
