#pragma once
// The operating-system side of MachineDetails.
#include <cstdint>
#include <string>

namespace machineplatform {

// Starts and stops the sockets library where the platform has one.
bool startSockets();
void stopSockets();

// The host name (read with a buffer of 1024 bytes). False, with the system
// error left set, when it cannot be had.
bool hostName(std::string& name);

// The first IPv4 address the name resolves to. False when there is none.
bool firstAddress(const std::string& name, uint8_t bytes[4]);

} // namespace machineplatform
