#include <gtest/gtest.h>

#include <algorithm>

#include "MonitoringTestSupport.h"
#include "base/Tools.h"
#include "shared/monitoring/MachineDetails.h"
#include "testsupport/EventCapture.h"

namespace {

TEST(MachineDetailsTest, AddressesAreDottedDecimal)
{
    const uint8_t address[4] = {192, 168, 0, 10};
    EXPECT_EQ(L"192.168.0.10", MachineDetails::formatAddress(address));
    const uint8_t edges[4] = {0, 255, 7, 100};
    EXPECT_EQ(L"0.255.7.100", MachineDetails::formatAddress(edges));
}

TEST(MachineDetailsTest, DetailsNameThisMachine)
{
    testsupport::EventRecorder events;
    MachineDetails details;
    EXPECT_TRUE(details.getIPAddress().empty());
    details.getDetails();

    std::wstring computer, group;
    ASSERT_TRUE(Tools::getMachineName(computer, group));
    EXPECT_EQ(computer, details.getMachineName());
    EXPECT_EQ(group, details.getDomain());

    if (!events.withId(1063802).empty())
        GTEST_SKIP() << "this machine's host name does not resolve to an IPv4 address";
    EXPECT_TRUE(events.withId(1063801).empty());
    const std::wstring address = details.getIPAddress();
    EXPECT_FALSE(address.empty());
    const std::vector<std::wstring> known = montest::hostAddresses();
    EXPECT_NE(known.end(), std::find(known.begin(), known.end(), address))
        << std::string(address.begin(), address.end()) << " is not among the host's "
        << known.size() << " addresses, the first "
        << (known.empty() ? std::string() : std::string(known[0].begin(), known[0].end()));
}

} // namespace
