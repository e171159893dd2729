#include <gtest/gtest.h>

#include "MonitoringTestSupport.h"
#include "base/Exception.h"
#include "base/win32/WindowsSupport.h"
#include "shared/monitoring/Version.h"
#include "shared/monitoring/VersionBlock.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"

namespace {

const wchar_t* const Keys[] = {L"OriginalFilename", L"FileDescription", L"InternalName",
                               L"FileVersion",      L"ProductName",     L"ProductVersion",
                               L"CompanyName",      L"LegalCopyright"};

class VersionWin32Test : public ::testing::Test {
protected:
    testsupport::EventRecorder m_events;
    static std::wstring program(const wchar_t* name)
    {
        return testsupport::binFolder() + L"\\" + name;
    }

    // Every look-up the product makes, answered by VersionBlock and by the
    // system's own VerQueryValue on the same bytes, must agree.
    static void expectSameAsSystem(const std::wstring& path)
    {
        std::vector<uint8_t> info = montest::systemVersionInfo(path);
        ASSERT_FALSE(info.empty())
            << "no version information in " << std::string(path.begin(), path.end());
        const VersionBlock block(info.data(), info.size());

        void* raw = reinterpret_cast<void*>(0x1);
        UINT length = 0xdeadbeef;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &raw, &length));
        ASSERT_GE(length, 4u);
        const WORD* pair = static_cast<const WORD*>(raw);
        uint16_t language = 0, codePage = 0;
        ASSERT_TRUE(block.queryTranslation(language, codePage));
        EXPECT_EQ(pair[0], language);
        EXPECT_EQ(pair[1], codePage);

        wchar_t own[32];
        swprintf(own, 32, L"%04x%04x", language, codePage);
        for (const std::wstring& table : {std::wstring(own), std::wstring(L"040904E4"),
                                          std::wstring(L"040904b0"), std::wstring(L"040904B0")}) {
            for (const wchar_t* key : Keys) {
                const std::wstring query = L"\\StringFileInfo\\" + table + L"\\" + key;
                raw = nullptr;
                length = 0xdeadbeef;
                const bool system =
                    VerQueryValueW(info.data(), query.c_str(), &raw, &length) && raw != nullptr;
                std::wstring ours = L"sentinel";
                const bool found = block.queryText(query, ours);
                EXPECT_EQ(system, found) << std::string(query.begin(), query.end());
                if (system && found) {
                    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(raw)), ours)
                        << std::string(query.begin(), query.end());
                }
            }
        }
    }
};

TEST_F(VersionWin32Test, OwnTranslationTableOfABuiltProgram)
{
    Version v;
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(v.getInfoFromExecutable(program(L"mon_res_full.exe").c_str()));
    EXPECT_STREQ(L"Zaehler.exe", v.getOriginalFilename());
    EXPECT_STREQ(L"Z\u00e4hler f\u00fcr \u00dcbersichten \xD83D\xDE00", v.getFileDescription());
    EXPECT_STREQ(L"zaehler", v.getInternalName());
    EXPECT_STREQ(L"2, 7, 1, 1", v.getFileVersion());
    EXPECT_STREQ(L"Kelmscott Z\u00e4hler", v.getProductName());
    EXPECT_STREQ(L"2.7", v.getProductVersion());
    EXPECT_STREQ(L"Kelmscott Werkst\u00e4tten GmbH", v.getCompanyName());
    expectSameAsSystem(program(L"mon_res_full.exe"));
}

TEST_F(VersionWin32Test, UsEnglishTableWhenTheOwnTranslationHasNone)
{
    Version v;
    ASSERT_TRUE(v.getInfoFromExecutable(program(L"mon_res_us.exe").c_str()));
    EXPECT_STREQ(L"viewer.exe", v.getOriginalFilename());
    EXPECT_STREQ(L"Sample Viewer", v.getFileDescription());
    EXPECT_STREQ(L"Sample Viewer", v.getInternalName()); // missing: from the description
    EXPECT_STREQ(L"4, 0, 2, 17", v.getFileVersion());
    EXPECT_STREQ(L"Sample Viewer", v.getProductName());
    EXPECT_STREQ(L"", v.getProductVersion());
    EXPECT_STREQ(L"Hollow Reed Software", v.getCompanyName());
    expectSameAsSystem(program(L"mon_res_us.exe"));
}

TEST_F(VersionWin32Test, ProgramWithoutVersionResourceGetsItsNames)
{
    for (const wchar_t* name : {L"mon_res_plain.exe", L"mon_res_icons.exe"}) {
        Version v;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(v.getInfoFromExecutable(program(name).c_str()));
        const std::wstring stem = std::wstring(name).substr(0, std::wstring(name).size() - 4);
        EXPECT_EQ(stem, v.getFileDescription());
        EXPECT_EQ(stem, v.getProductName());
        EXPECT_EQ(stem, v.getInternalName());
        EXPECT_EQ(std::wstring(name), v.getOriginalFilename());
        EXPECT_STREQ(L"Unknown", v.getFileVersion());
        EXPECT_STREQ(L"", v.getProductVersion());
        EXPECT_STREQ(L"", v.getCompanyName());
    }
    Version missing;
    EXPECT_FALSE(missing.getInfoFromExecutable(program(L"no such program.exe").c_str()));
    EXPECT_STREQ(L"no such program", missing.getFileDescription());
}

TEST_F(VersionWin32Test, ProgramOfTheSystemReadsAsTheSystemReadsIt)
{
    wchar_t windows[MAX_PATH] = {};
    ASSERT_NE(0u, GetWindowsDirectoryW(windows, MAX_PATH));
    const std::wstring path = std::wstring(windows) + L"\\regedit.exe";
    if (montest::systemVersionInfo(path).empty())
        GTEST_SKIP() << "this system's regedit.exe has no version resource";
    expectSameAsSystem(path);

    Version v;
    ASSERT_TRUE(v.getInfoFromExecutable(path.c_str()));
    EXPECT_STRNE(L"regedit", v.getFileDescription());
}

} // namespace
