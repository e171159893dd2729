#include "MonitoringTestSupport.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

namespace montest {

std::vector<std::wstring> hostAddresses()
{
    std::vector<std::wstring> out;
    char name[1024] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return out;
    const hostent* host = gethostbyname(name);
    if (host == nullptr || host->h_addrtype != AF_INET)
        return out;
    for (char** at = host->h_addr_list; *at != nullptr; ++at) {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, *at, text, sizeof text);
        out.emplace_back(text, text + std::char_traits<char>::length(text));
    }
    return out;
}

} // namespace montest
