#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/Registry.h"
#include "base/win32/WindowsSupport.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/TestSupport.h"

namespace {

// Runs Wine's or Windows' own reg.exe and returns what it printed.
bool runRegExe(const std::wstring& arguments, std::string& output, DWORD& exitCode)
{
    return testsupport::runCapturingOutput(L"reg.exe " + arguments, output, exitCode);
}

// The "<name> <type> <data>" line of a reg.exe query listing, blanks collapsed.
std::string queriedValue(const std::string& output, const std::string& name)
{
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first != name)
            continue;
        std::string type, data, rest;
        words >> type;
        std::getline(words, rest);
        const size_t start = rest.find_first_not_of(" \t");
        const size_t end = rest.find_last_not_of(" \t\r");
        data = start == std::string::npos ? std::string() : rest.substr(start, end - start + 1);
        return type + "|" + data;
    }
    return "not listed";
}

class RegistryRegExeTest : public ::testing::TestWithParam<Registry::RootKey> {
protected:
    std::wstring rootName() const
    {
        return GetParam() == Registry::LocalMachine ? L"HKLM\\" : L"HKCU\\";
    }
    // Machine-wide values are kept in the 32-bit view by every build; reg.exe
    // is told so, since a 64-bit test program starts the 64-bit reg.exe.
    std::wstring view() const { return GetParam() == Registry::LocalMachine ? L" /reg:32" : L""; }

    testsupport::TestKey key{L"regexe-", GetParam()};
    Registry registry{key.root(), key.path()};
};

TEST_P(RegistryRegExeTest, ValuesWrittenAreListedByRegExe)
{
    ASSERT_TRUE(registry.write(L"Count", 42));
    ASSERT_TRUE(registry.write(L"Text", L"Hello World"));
    std::vector<uint8_t> raw{0x01, 0x02, 0xFF};
    ASSERT_TRUE(registry.write(L"Bytes", ByteArray(raw.data(), 3)));
    ASSERT_TRUE(registry.write(L"Sub\\Inner", 7));

    std::string output;
    DWORD exitCode = 0;
    ASSERT_TRUE(
        runRegExe(L"query \"" + rootName() + key.path() + L"\"" + view(), output, exitCode));
    ASSERT_EQ(exitCode, 0u) << output;
    EXPECT_EQ(queriedValue(output, "Count"), "REG_DWORD|0x2a") << output;
    EXPECT_EQ(queriedValue(output, "Text"), "REG_SZ|Hello World") << output;
    EXPECT_EQ(queriedValue(output, "Bytes"), "REG_BINARY|0102FF") << output;

    ASSERT_TRUE(runRegExe(L"query \"" + rootName() + key.path() + L"\\Sub\" /v Inner" + view(),
                          output, exitCode));
    ASSERT_EQ(exitCode, 0u) << output;
    EXPECT_EQ(queriedValue(output, "Inner"), "REG_DWORD|0x7") << output;
}

TEST_P(RegistryRegExeTest, ValuesAddedByRegExeAreRead)
{
    const std::wstring target = L"\"" + rootName() + key.path() + L"\\Sub\"";
    std::string output;
    DWORD exitCode = 0xDEADBEEF;
    ASSERT_TRUE(runRegExe(L"add " + target + L" /v Count /t REG_DWORD /d 123 /f" + view(), output,
                          exitCode));
    ASSERT_EQ(exitCode, 0u) << output;
    ASSERT_TRUE(runRegExe(L"add " + target + L" /v Text /t REG_SZ /d \"two words\" /f" + view(),
                          output, exitCode));
    ASSERT_EQ(exitCode, 0u) << output;
    ASSERT_TRUE(runRegExe(L"add " + target + L" /v Bytes /t REG_BINARY /d 0a0b0c /f" + view(),
                          output, exitCode));
    ASSERT_EQ(exitCode, 0u) << output;
    ASSERT_TRUE(
        runRegExe(L"add " + target + L" /v Short /t REG_SZ /d AB /f" + view(), output, exitCode));
    ASSERT_EQ(exitCode, 0u) << output;

    EXPECT_EQ(registry.read(L"Sub\\Count", 7), 123);
    EXPECT_EQ(registry.read(L"Sub\\Text", L"default"), L"two words");
    std::vector<uint8_t> raw{0x0A, 0x0B, 0x0C};
    EXPECT_EQ(registry.read(L"Sub\\Bytes", ByteArray()), ByteArray(raw.data(), 3));
    // "AB" and its terminator: 'A' 00 'B' 00 are the first four bytes.
    EXPECT_EQ(registry.read(L"Sub\\Short", 7), 0x00420041);
}

// A 64-bit add-in must see what the 32-bit installer, client and service
// wrote under HKEY_LOCAL_MACHINE ("InstallDir", the log switches), and the
// other way round: both builds use the 32-bit view for it, never the 64-bit one.
TEST(RegistryViewTest, MachineValuesAreInThe32BitViewOnly)
{
    testsupport::TestKey key{L"view-", Registry::LocalMachine};
    Registry registry{key.root(), key.path()};
    const std::wstring target = L"\"HKLM\\" + key.path() + L"\"";
    std::string output;
    DWORD exitCode = 0xDEADBEEF;

    ASSERT_TRUE(registry.write(L"Written", 1234));
    ASSERT_TRUE(runRegExe(L"query " + target + L" /v Written /reg:32", output, exitCode));
    ASSERT_EQ(exitCode, 0u) << output;
    EXPECT_EQ(queriedValue(output, "Written"), "REG_DWORD|0x4d2") << output;
    ASSERT_TRUE(runRegExe(L"query " + target + L" /v Written /reg:64", output, exitCode));
    EXPECT_NE(exitCode, 0u) << "the value reached the 64-bit view: " << output;

    ASSERT_TRUE(
        runRegExe(L"add " + target + L" /v Added /t REG_DWORD /d 77 /f /reg:32", output, exitCode));
    ASSERT_EQ(exitCode, 0u) << output;
    ASSERT_TRUE(
        runRegExe(L"add " + target + L" /v Other /t REG_DWORD /d 88 /f /reg:64", output, exitCode));
    ASSERT_EQ(exitCode, 0u) << output;
    EXPECT_EQ(registry.read(L"Added", -1), 77);
    EXPECT_EQ(registry.read(L"Other", -1), -1) << "a 64-bit view value was read";
    EXPECT_TRUE(registry.deleteValue(L"Added"));
    ASSERT_TRUE(runRegExe(L"query " + target + L" /v Added /reg:32", output, exitCode));
    EXPECT_NE(exitCode, 0u) << output;

    // The 64-bit view's key is this test's own too.
    runRegExe(L"delete " + target + L" /f /reg:64", output, exitCode);
}

INSTANTIATE_TEST_SUITE_P(Roots, RegistryRegExeTest,
                         ::testing::Values(Registry::CurrentUser, Registry::LocalMachine),
                         [](const ::testing::TestParamInfo<Registry::RootKey>& info) {
                             return info.param == Registry::LocalMachine ? "LocalMachine"
                                                                         : "CurrentUser";
                         });

} // namespace
