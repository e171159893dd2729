#pragma once
// Fixtures of the monitoring tests; the ones every test program shares are
// in testsupport/.
#include <cstdint>
#include <string>
#include <vector>

namespace montest {

// The IPv4 addresses of this machine's host name as the platform's older
// resolver (gethostbyname) lists them, dotted decimal; empty when the name
// does not resolve.
std::vector<std::wstring> hostAddresses();

#if defined(_WIN32)
// The bytes the system's version API gives for the file; empty when none.
std::vector<uint8_t> systemVersionInfo(const std::wstring& path);
#endif

} // namespace montest
