#include "shared/monitoring/MachineDetails.h"

#include "base/Event.h"
#include "base/Logger.h"
#include "base/Tools.h"

MachineDetails::MachineDetails() : m_socketsStarted(startSockets()) {}

MachineDetails::~MachineDetails()
{
    if (m_socketsStarted)
        stopSockets();
}

void MachineDetails::getDetails()
{
    Tools::getMachineName(m_machineName, m_domain);
    getIPDetails();
}

std::wstring MachineDetails::formatAddress(const uint8_t bytes[4])
{
    return std::to_wstring(bytes[0]) + L"." + std::to_wstring(bytes[1]) + L"." +
           std::to_wstring(bytes[2]) + L"." + std::to_wstring(bytes[3]);
}

void MachineDetails::getIPDetails()
{
    std::string host;
    if (!hostName(host)) {
        Event e(1063801, L"Unable to determine local host name",
                TC_AT(L"MachineDetails::getIPDetails"));
        e.addSystemErrorInfo();
        Logger::Trace(e);
        return;
    }
    uint8_t address[4] = {};
    if (!firstAddress(host, address)) {
        Event e(1063802, L"Unable to determine local IP address",
                TC_AT(L"MachineDetails::getIPDetails"));
        e.addDetails(L"HostName", Tools::widenNarrowString(host));
        Logger::Trace(e);
        return;
    }
    m_ipAddress = formatAddress(address);
}
