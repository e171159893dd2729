#pragma once
#include <cstdint>
#include <string>

#include "shared/TCShrdApi.h"

// The computer's name, domain (or workgroup) and IP address, as the server
// knows the machine.
class TCSHRD_API MachineDetails {
public:
    // Starts the Windows sockets library (version 1.1) for the object's
    // lifetime; the destructor stops it again when starting worked.
    MachineDetails();
    virtual ~MachineDetails();
    MachineDetails(const MachineDetails&) = delete;
    MachineDetails& operator=(const MachineDetails&) = delete;

    // Fills the machine name and domain (empty when unknown), then the IP
    // address (see getIPDetails).
    void getDetails();

    const std::wstring& getMachineName() const { return m_machineName; }
    const std::wstring& getDomain() const { return m_domain; }
    const std::wstring& getIPAddress() const { return m_ipAddress; }

    // The address bytes as decimal numbers joined by "." (192.168.0.10).
    static std::wstring formatAddress(const uint8_t bytes[4]);

protected:
    // The first address the host name resolves to; traces 1063801 when the
    // host name cannot be had and 1063802 when it resolves to nothing, and
    // leaves the address as it was.
    void getIPDetails();

    std::wstring m_machineName;
    std::wstring m_domain;
    std::wstring m_ipAddress;
    bool m_socketsStarted = false;

private:
    // Operating-system half, in win32/MachineDetails.cpp and
    // posix/MachineDetails.cpp.

    // Starts and stops the sockets library where the platform has one.
    static bool startSockets();
    static void stopSockets();
    // The host name (read with a buffer of 1024 bytes). False, with the
    // system error left set, when it cannot be had.
    static bool hostName(std::string& name);
    // The first IPv4 address the name resolves to. False when there is none.
    static bool firstAddress(const std::string& name, uint8_t bytes[4]);
};
