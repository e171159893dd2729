// What extractClientProfileInfo writes, read back by the system's reg.exe.
#include <gtest/gtest.h>

#include <string>

#include "RegistryScope.h"
#include "base/Msg.h"
#include "base/WindowsSupport.h"
#include "shared/server/ClientProfile.h"

namespace {

// Runs reg.exe query for one value and returns its standard output.
std::string regQuery(const std::wstring& key, const std::wstring& value)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return "(no pipe)";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring command = L"reg.exe query \"HKCU\\" + key + L"\" /v " + value;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                  &startup, &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char buffer[512];
        DWORD n = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
            output.append(buffer, n);
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    } else {
        output = "(reg.exe did not start)";
    }
    CloseHandle(readEnd);
    return output;
}

TEST(ClientProfileRegistryTest, EveryKindOfAttributeReachesTheUsersKey)
{
    RegistryScope scope("ClientProfileRegistryTest");
    ClientProfile profile(scope.keyPath());
    Msg response;
    response.setType(Msg::CLIENT_PROFILE_RESPONSE);
    response.setAttributeValue(L"ConnectionID", 3);
    response.setAttributeValue(L"MaximumMeetingTimeSpan", 45);
    response.setAttributeValue(L"ReportServer", std::wstring(L"reports.example.org"));
    response.setAttributeValue(L"Token", new ByteArray("\x0a\x1b\xfe", 3));
    profile.extractClientProfileInfo(response);

    std::string text = regQuery(scope.keyPath(), L"MaximumMeetingTimeSpan");
    EXPECT_NE(text.find("REG_DWORD"), std::string::npos) << text;
    EXPECT_NE(text.find("0x2d"), std::string::npos) << text;

    text = regQuery(scope.keyPath(), L"ReportServer");
    EXPECT_NE(text.find("REG_SZ"), std::string::npos) << text;
    EXPECT_NE(text.find("reports.example.org"), std::string::npos) << text;

    text = regQuery(scope.keyPath(), L"Token");
    EXPECT_NE(text.find("REG_BINARY"), std::string::npos) << text;
    EXPECT_NE(text.find("0A1BFE"), std::string::npos) << text;

    for (const wchar_t* dropped : {L"MsgType", L"ConnectionID"}) {
        text = regQuery(scope.keyPath(), dropped);
        EXPECT_EQ(text.find("REG_DWORD"), std::string::npos) << text;
    }
}

} // namespace
