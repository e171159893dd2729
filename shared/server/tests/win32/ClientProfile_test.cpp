// What extractClientProfileInfo writes, read back by the system's reg.exe.
#include <gtest/gtest.h>

#include <string>

#include "base/Msg.h"
#include "base/win32/WindowsSupport.h"
#include "shared/server/ClientProfile.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/TestSupport.h"

namespace {

// Runs reg.exe query for one value and returns its standard output.
std::string regQuery(const std::wstring& key, const std::wstring& value)
{
    std::string output;
    unsigned long exitCode = 0;
    if (!testsupport::runCapturingOutput(L"reg.exe query \"HKCU\\" + key + L"\" /v " + value,
                                         output, exitCode))
        return "(reg.exe did not start)";
    return output;
}

TEST(ClientProfileRegistryTest, OnlyTheKnownSettingsReachTheUsersKey)
{
    testsupport::TestKey key(L"ClientProfileRegistryTest");
    ClientProfile profile(key.path());
    Msg response;
    response.setType(Msg::CLIENT_PROFILE_RESPONSE);
    response.setAttributeValue(L"ConnectionID", 3);
    response.setAttributeValue(L"MaximumMeetingTimeSpan", 45);
    response.setAttributeValue(L"ReportServer", std::wstring(L"reports.example.org"));
    response.setAttributeValue(L"Token", new ByteArray("\x0a\x1b\xfe", 3));
    response.setAttributeValue(L"Sub\\Injected", 1);
    profile.extractClientProfileInfo(response);

    std::string text = regQuery(key.path(), L"MaximumMeetingTimeSpan");
    EXPECT_NE(text.find("REG_DWORD"), std::string::npos) << text;
    EXPECT_NE(text.find("0x2d"), std::string::npos) << text;

    for (const wchar_t* dropped : {L"MsgType", L"ConnectionID", L"ReportServer", L"Token"}) {
        text = regQuery(key.path(), dropped);
        EXPECT_EQ(text.find("REG_"), std::string::npos) << text;
    }
    // No subkey was made for the name with a backslash.
    text = regQuery(key.path() + L"\\Sub", L"Injected");
    EXPECT_EQ(text.find("REG_"), std::string::npos) << text;
    text = regQuery(key.path(), L"\"Sub\\Injected\"");
    EXPECT_EQ(text.find("REG_"), std::string::npos) << text;
}

} // namespace
