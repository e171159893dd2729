#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/Msg.h"
#include "base/Registry.h"
#include "shared/server/ClientProfile.h"
#include "testsupport/TestSupport.h"

namespace {

class ClientProfileTest : public ::testing::Test {
protected:
    static std::wstring testName()
    {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return std::wstring(name.begin(), name.end());
    }

    // One key path, under both roots.
    testsupport::TestKey userKey_{testName(), Registry::CurrentUser};
    testsupport::TestKey machineKey_{testName(), Registry::LocalMachine};
    Registry machine_{Registry::LocalMachine, machineKey_.path()};
    Registry user_{Registry::CurrentUser, userKey_.path()};
};

TEST_F(ClientProfileTest, DefaultsWhenNothingIsStored)
{
    ClientProfile profile(userKey_.path());
    EXPECT_FALSE(profile.hideLinks());
    EXPECT_FALSE(profile.hideGUI());
    EXPECT_FALSE(profile.enablePrivateMode());
    EXPECT_EQ(profile.getMaximumPrivateMinutes(), 5);
    EXPECT_EQ(profile.getMaximumMeetingMinutes(), 60);
    EXPECT_FALSE(profile.overrideActivityWhenOnPhone());
    // The defaults are stored as the attributes.
    int value = 0;
    EXPECT_TRUE(profile.getAttributeValue(L"MaximumMeetingTimeSpan", value));
    EXPECT_EQ(value, 60);
    EXPECT_EQ(profile.getIntAttributeCount(), 6);
}

TEST_F(ClientProfileTest, MachineValueWinsOverUserValue)
{
    ASSERT_TRUE(machine_.write(L"MaximumMeetingTimeSpan", 90));
    ASSERT_TRUE(user_.write(L"MaximumMeetingTimeSpan", 30));
    ASSERT_TRUE(user_.write(L"MaximumPrivateTimeSpan", 12));
    ASSERT_TRUE(user_.write(L"HideClientGUI", 1));
    ClientProfile profile(userKey_.path());
    EXPECT_EQ(profile.getMaximumMeetingMinutes(), 90);
    EXPECT_EQ(profile.getMaximumPrivateMinutes(), 12);
    EXPECT_TRUE(profile.hideGUI());
    EXPECT_FALSE(profile.hideLinks());
}

// As docs/registry.md tells administrators: the machine-wide value holds
// from start-up until the server's profile arrives, which then replaces it
// for the rest of the run; the next start reads the machine value again.
TEST_F(ClientProfileTest, ServerProfileReplacesTheMachineValueUntilTheNextStart)
{
    ASSERT_TRUE(machine_.write(L"MaximumMeetingTimeSpan", 90));
    ClientProfile profile(userKey_.path());
    ASSERT_EQ(profile.getMaximumMeetingMinutes(), 90);

    Msg response;
    response.setType(Msg::CLIENT_PROFILE_RESPONSE);
    response.setAttributeValue(L"MaximumMeetingTimeSpan", 30);
    profile.extractClientProfileInfo(response);
    EXPECT_EQ(profile.getMaximumMeetingMinutes(), 30);
    EXPECT_EQ(user_.read(L"MaximumMeetingTimeSpan", -5), 30);
    EXPECT_EQ(machine_.read(L"MaximumMeetingTimeSpan", -5), 90);

    ClientProfile nextStart(userKey_.path());
    EXPECT_EQ(nextStart.getMaximumMeetingMinutes(), 90);
}

TEST_F(ClientProfileTest, StoredMinusOneCountsAsMissing)
{
    ASSERT_TRUE(machine_.write(L"MaximumPrivateTimeSpan", -1));
    ASSERT_TRUE(user_.write(L"MaximumPrivateTimeSpan", 20));
    ASSERT_TRUE(machine_.write(L"MaximumMeetingTimeSpan", -1));
    ASSERT_TRUE(user_.write(L"MaximumMeetingTimeSpan", -1));
    ClientProfile profile(userKey_.path());
    EXPECT_EQ(profile.getMaximumPrivateMinutes(), 20);
    EXPECT_EQ(profile.getMaximumMeetingMinutes(), 60);
}

TEST_F(ClientProfileTest, FlagsAreTrueOnlyForOne)
{
    ASSERT_TRUE(user_.write(L"HideClientReportLinks", 1));
    ASSERT_TRUE(user_.write(L"EnablePrivateMode", 2));
    ASSERT_TRUE(user_.write(L"AllowPhoneOverrideActivity", 1));
    ClientProfile profile(userKey_.path());
    EXPECT_TRUE(profile.hideLinks());
    EXPECT_FALSE(profile.enablePrivateMode());
    EXPECT_TRUE(profile.overrideActivityWhenOnPhone());
}

TEST_F(ClientProfileTest, ExtractReplacesTheProfileAndSavesEveryKind)
{
    ClientProfile profile(userKey_.path());
    profile.setAttributeValue(L"Stale", std::wstring(L"from before"));

    Msg response;
    response.setType(Msg::CLIENT_PROFILE_RESPONSE);
    response.setAttributeValue(L"ConnectionID", 7);
    response.setAttributeValue(L"HideClientGUI", 1);
    response.setAttributeValue(L"MaximumPrivateTimeSpan", 15);
    response.setAttributeValue(L"ServerNote", std::wstring(L"r\u00e9sum\u00e9"));
    response.setAttributeValue(L"Blob", new ByteArray("\x01\x00\xff", 3));
    profile.extractClientProfileInfo(response);

    EXPECT_FALSE(profile.containsIntAttribute(L"MsgType"));
    EXPECT_FALSE(profile.containsIntAttribute(L"ConnectionID"));
    EXPECT_FALSE(profile.containsStringAttribute(L"Stale"));
    EXPECT_TRUE(profile.hideGUI());
    EXPECT_EQ(profile.getMaximumPrivateMinutes(), 15);
    // Left out of the response: back to the default, not the old value.
    EXPECT_EQ(profile.getMaximumMeetingMinutes(), 60);

    EXPECT_EQ(user_.read(L"HideClientGUI", -5), 1);
    EXPECT_EQ(user_.read(L"MaximumPrivateTimeSpan", -5), 15);
    EXPECT_EQ(user_.read(L"ServerNote", L"missing"), L"r\u00e9sum\u00e9");
    ByteArray blob = user_.read(L"Blob", ByteArray());
    EXPECT_TRUE(blob == ByteArray("\x01\x00\xff", 3));
    EXPECT_EQ(user_.read(L"MsgType", -5), -5);
    EXPECT_EQ(user_.read(L"ConnectionID", -5), -5);
    EXPECT_EQ(machine_.read(L"HideClientGUI", -5), -5);

    // The saved profile is what the next start reads.
    ClientProfile restarted(userKey_.path());
    EXPECT_TRUE(restarted.hideGUI());
    EXPECT_EQ(restarted.getMaximumPrivateMinutes(), 15);
}

} // namespace
