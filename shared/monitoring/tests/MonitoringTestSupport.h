#pragma once
// Fixtures of the monitoring tests; the ones every test program shares are
// in testsupport/.
#include <cstdint>
#include <string>
#include <vector>

namespace montest {

struct Recorded {
    uint32_t id;
    std::wstring description;
    std::wstring details;
    bool logged; // through Logger::Log rather than Logger::Trace alone
};

// Records every event given to the logger from install() on, once each,
// marked with the way it came. The logger keeps its devices for the life of
// the process, so the devices are added once and each test starts by
// clearing the record.
class EventRecord {
public:
    static void install();
    static void clear();
    static const std::vector<Recorded>& all();
    // The events of that id, in order.
    static std::vector<Recorded> withId(uint32_t id);
};

// The IPv4 addresses of this machine's host name as the platform's older
// resolver (gethostbyname) lists them, dotted decimal; empty when the name
// does not resolve.
std::vector<std::wstring> hostAddresses();

#if defined(_WIN32)
// The bytes the system's version API gives for the file; empty when none.
std::vector<uint8_t> systemVersionInfo(const std::wstring& path);
#endif

} // namespace montest
