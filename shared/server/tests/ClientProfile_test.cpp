#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/Msg.h"
#include "base/Registry.h"
#include "shared/server/ClientProfile.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

class ClientProfileTest : public ::testing::Test {
protected:
    static std::wstring testName()
    {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return std::wstring(name.begin(), name.end());
    }

    testsupport::EventRecorder events_;
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

TEST_F(ClientProfileTest, ExtractReplacesTheProfileAndSavesTheKnownSettings)
{
    ClientProfile profile(userKey_.path());
    profile.setAttributeValue(L"Stale", std::wstring(L"from before"));
    profile.setAttributeValue(L"MaximumMeetingTimeSpan", 45);

    Msg response;
    response.setType(Msg::CLIENT_PROFILE_RESPONSE);
    response.setAttributeValue(L"ConnectionID", 7);
    response.setAttributeValue(L"HideClientGUI", 1);
    response.setAttributeValue(L"MaximumPrivateTimeSpan", 15);
    profile.extractClientProfileInfo(response);

    EXPECT_FALSE(profile.containsIntAttribute(L"MsgType"));
    EXPECT_FALSE(profile.containsIntAttribute(L"ConnectionID"));
    EXPECT_FALSE(profile.containsStringAttribute(L"Stale"));
    EXPECT_EQ(profile.getIntAttributeCount(), 2);
    EXPECT_TRUE(profile.hideGUI());
    EXPECT_EQ(profile.getMaximumPrivateMinutes(), 15);
    // Left out of the response: back to the default, not the old value.
    EXPECT_EQ(profile.getMaximumMeetingMinutes(), 60);

    EXPECT_EQ(user_.read(L"HideClientGUI", -5), 1);
    EXPECT_EQ(user_.read(L"MaximumPrivateTimeSpan", -5), 15);
    EXPECT_EQ(user_.read(L"MsgType", -5), -5);
    EXPECT_EQ(user_.read(L"ConnectionID", -5), -5);
    EXPECT_EQ(machine_.read(L"HideClientGUI", -5), -5);
    EXPECT_EQ(events_.count(1063301), 0u) << "nothing was ignored";

    // The saved profile is what the next start reads.
    ClientProfile restarted(userKey_.path());
    EXPECT_TRUE(restarted.hideGUI());
    EXPECT_EQ(restarted.getMaximumPrivateMinutes(), 15);
}

// The server's names become value names under the user's key: only the
// settings the client knows may get there.
TEST_F(ClientProfileTest, WhatTheClientDoesNotKnowIsIgnoredAndNamed)
{
    ASSERT_TRUE(user_.write(L"Username", L"jane"));
    ASSERT_TRUE(user_.write(L"SessionID", ByteArray("\x10\x20", 2)));
    ClientProfile profile(userKey_.path());

    Msg response;
    response.setType(Msg::CLIENT_PROFILE_RESPONSE);
    response.setAttributeValue(L"EnablePrivateMode", 1);
    response.setAttributeValue(L"Username", std::wstring(L"mallory"));
    response.setAttributeValue(L"SessionID", new ByteArray("\x01", 1));
    response.setAttributeValue(L"Sub\\Key", 3);
    response.setAttributeValue(L"Servers\\server.0.port", 8080);
    response.setAttributeValue(L"hideclientgui", 1);
    // A known name of the wrong kind is not a setting either.
    response.setAttributeValue(L"HideClientReportLinks", std::wstring(L"1"));
    response.setAttributeValue(L"Line\r\nBreak", 2);
    profile.extractClientProfileInfo(response);

    EXPECT_TRUE(profile.enablePrivateMode());
    EXPECT_FALSE(profile.hideLinks());
    EXPECT_FALSE(profile.hideGUI());
    EXPECT_EQ(profile.getIntAttributeCount(), 1);
    EXPECT_EQ(profile.getStringAttributeCount(), 0);
    EXPECT_EQ(profile.getByteArrayAttributeCount(), 0);

    EXPECT_EQ(user_.read(L"EnablePrivateMode", -5), 1);
    EXPECT_EQ(user_.read(L"Username", L"missing"), L"jane");
    EXPECT_TRUE(user_.read(L"SessionID", ByteArray()) == ByteArray("\x10\x20", 2));
    EXPECT_EQ(user_.read(L"Sub\\Key", -5), -5);
    EXPECT_EQ(Registry(Registry::CurrentUser, userKey_.path() + L"\\Sub").read(L"Key", -5), -5);
    EXPECT_EQ(user_.read(L"Servers\\server.0.port", -5), -5);
    EXPECT_EQ(user_.read(L"HideClientGUI", -5), -5);
    EXPECT_EQ(user_.read(L"HideClientReportLinks", -5), -5);

    ASSERT_EQ(events_.count(1063301), 1u);
    const testsupport::CapturedEvent ignored = events_.find(1063301);
    EXPECT_EQ(ignored.description, L"Client profile settings ignored");
    EXPECT_EQ(ignored.type, 2); // Warning
    for (const wchar_t* name : {L"\"Username\" (text)", L"\"SessionID\" (bytes)", L"\"Sub\\Key\"",
                                L"\"Servers\\server.0.port\"", L"\"hideclientgui\"",
                                L"\"HideClientReportLinks\" (text)", L"\"Line??Break\""}) {
        EXPECT_NE(ignored.details.find(name), std::wstring::npos)
            << std::string(ignored.details.begin(), ignored.details.end());
    }
    EXPECT_EQ(ignored.details.find(L"EnablePrivateMode"), std::wstring::npos);
    EXPECT_EQ(ignored.details.find(L'\n'), std::wstring::npos);
}

TEST_F(ClientProfileTest, AVeryLongNameIsShownCut)
{
    ClientProfile profile(userKey_.path());
    Msg response;
    response.setType(Msg::CLIENT_PROFILE_RESPONSE);
    response.setAttributeValue(std::wstring(5000, L'A'), 1);
    profile.extractClientProfileInfo(response);
    const std::wstring details = events_.find(1063301).details;
    EXPECT_NE(details.find(L"\"" + std::wstring(100, L'A') + L"...\""), std::wstring::npos);
    EXPECT_LT(details.size(), 200u);
}

TEST_F(ClientProfileTest, KnownSettingsAreTheSixByExactName)
{
    for (const wchar_t* name :
         {L"HideClientReportLinks", L"HideClientGUI", L"EnablePrivateMode",
          L"MaximumPrivateTimeSpan", L"MaximumMeetingTimeSpan", L"AllowPhoneOverrideActivity"})
        EXPECT_TRUE(ClientProfile::isKnownSetting(name));
    EXPECT_FALSE(ClientProfile::isKnownSetting(L"hideclientgui"));
    EXPECT_FALSE(ClientProfile::isKnownSetting(L"Username"));
    EXPECT_FALSE(ClientProfile::isKnownSetting(L""));
    EXPECT_FALSE(ClientProfile::isKnownSetting(L"HideClientGUI\\x"));
}

} // namespace
