#include <gtest/gtest.h>

#include "VersionBlockBuilder.h"
#include "base/Exception.h"
#include "base/File.h"
#include "shared/monitoring/Version.h"
#include "shared/monitoring/VersionBlock.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

class VersionProbe : public Version {
public:
    using Version::fillBlanks;
    using Version::getString;
    using Version::getStringInner;
    using Version::readBlock;
};

const std::vector<std::pair<std::u16string, std::u16string>> AllSeven(const std::u16string& tag)
{
    return {{u"OriginalFilename", tag + u"-orig.exe"}, {u"FileDescription", tag + u" description"},
            {u"InternalName", tag + u"-internal"},     {u"FileVersion", tag + u" 1, 2, 3, 4"},
            {u"ProductName", tag + u" product"},       {u"ProductVersion", tag + u" 1.2"},
            {u"CompanyName", tag + u" company"}};
}

class VersionTest : public ::testing::Test {
protected:
    testsupport::EventRecorder m_events;

    static std::wstring path(const std::wstring& name)
    {
        return std::wstring(L"apps") + File::Separator + L"tools" + File::Separator + name;
    }

    static void expectFields(const Version& v, const std::wstring& tag)
    {
        EXPECT_EQ(tag + L"-orig.exe", v.getOriginalFilename());
        EXPECT_EQ(tag + L" description", v.getFileDescription());
        EXPECT_EQ(tag + L"-internal", v.getInternalName());
        EXPECT_EQ(tag + L" 1, 2, 3, 4", v.getFileVersion());
        EXPECT_EQ(tag + L" product", v.getProductName());
        EXPECT_EQ(tag + L" 1.2", v.getProductVersion());
        EXPECT_EQ(tag + L" company", v.getCompanyName());
    }
};

TEST_F(VersionTest, OwnTranslationWinsOverTheUsEnglishTables)
{
    const std::vector<uint8_t> bytes = montest::versionInfo({{u"040904E4", AllSeven(u"us")},
                                                             {u"0c0a04b0", AllSeven(u"es")},
                                                             {u"040904b0", AllSeven(u"u2")}},
                                                            {{0x0c0a, 0x04b0}});
    const VersionBlock block(bytes.data(), bytes.size());
    VersionProbe v;
    EXPECT_TRUE(v.readBlock(block, path(L"tool.exe").c_str()));
    expectFields(v, L"es");
}

TEST_F(VersionTest, UsEnglishTablesServeWhenTheOwnTranslationHasNone)
{
    // The translation names a table the resource does not hold.
    std::vector<uint8_t> bytes = montest::versionInfo(
        {{u"040904b0", AllSeven(u"b0")}, {u"040904E4", AllSeven(u"e4")}}, {{0x0413, 0x04b0}});
    VersionProbe v;
    EXPECT_TRUE(v.readBlock(VersionBlock(bytes.data(), bytes.size()), path(L"tool.exe").c_str()));
    expectFields(v, L"e4");

    bytes = montest::versionInfo({{u"040904b0", AllSeven(u"b0")}}, {{0x0413, 0x04b0}});
    VersionProbe last;
    EXPECT_TRUE(
        last.readBlock(VersionBlock(bytes.data(), bytes.size()), path(L"tool.exe").c_str()));
    expectFields(last, L"b0");
}

TEST_F(VersionTest, FirstLookupThatSucceedsWinsEvenWhenEmpty)
{
    const std::vector<uint8_t> bytes = montest::versionInfo(
        {{u"041104b0", {{u"CompanyName", u""}, {u"FileVersion", u"9"}}},
         {u"040904E4", {{u"CompanyName", u"US company"}, {u"ProductVersion", u"US 8"}}}},
        {{0x0411, 0x04b0}});
    const VersionBlock block(bytes.data(), bytes.size());
    VersionProbe v;
    std::wstring out = L"sentinel";
    EXPECT_TRUE(v.getString(&block, L"\\StringFileInfo\\041104b0\\", L"CompanyName", out));
    EXPECT_EQ(L"", out);
    EXPECT_TRUE(v.getString(&block, L"\\StringFileInfo\\041104b0\\", L"ProductVersion", out));
    EXPECT_EQ(L"US 8", out);
    out = L"sentinel";
    EXPECT_FALSE(v.getString(&block, L"\\StringFileInfo\\041104b0\\", L"LegalCopyright", out));
    EXPECT_EQ(L"", out);
}

TEST_F(VersionTest, NullParametersThrow1062503)
{
    const std::vector<uint8_t> bytes = montest::versionInfo({}, {{0x0409, 0x04e4}});
    const VersionBlock block(bytes.data(), bytes.size());
    VersionProbe v;
    std::wstring out = L"sentinel";
    for (int i = 0; i < 3; ++i) {
        try {
            v.getStringInner(i == 0 ? nullptr : &block, i == 1 ? nullptr : L"\\",
                             i == 2 ? nullptr : L"k", out);
            ADD_FAILURE() << "no exception for null parameter " << i;
        } catch (const Exception& e) {
            EXPECT_EQ(1062503, e.getExceptionID());
            EXPECT_EQ(L"Null parameter specified in Version::getString", e.getDescription());
        }
        EXPECT_EQ(L"", out);
    }
}

TEST_F(VersionTest, MissingTranslationThrows1062502WithBlanksFilled)
{
    const std::vector<uint8_t> bytes = montest::versionInfo({{u"040904E4", AllSeven(u"us")}}, {});
    VersionProbe v;
    const std::wstring file = path(L"Ledger.exe");
    try {
        v.readBlock(VersionBlock(bytes.data(), bytes.size()), file.c_str());
        ADD_FAILURE() << "no exception";
    } catch (const SystemException& e) {
        EXPECT_EQ(1062502, e.getExceptionID());
        EXPECT_NE(std::wstring::npos,
                  e.getDescription().find(L"Unable to extract version language information"));
        EXPECT_NE(std::wstring::npos, e.getDescription().find(L"(Param 1: " + file + L")"));
    }
    EXPECT_EQ(L"Ledger", std::wstring(v.getFileDescription()));
    EXPECT_EQ(L"Ledger.exe", std::wstring(v.getOriginalFilename()));
    EXPECT_EQ(L"Unknown", std::wstring(v.getFileVersion()));
}

TEST_F(VersionTest, BlanksComeFromTheFileName)
{
    VersionProbe v;
    v.fillBlanks(path(L"Report Builder.exe").c_str());
    EXPECT_EQ(L"Report Builder", std::wstring(v.getFileDescription()));
    EXPECT_EQ(L"Report Builder", std::wstring(v.getProductName()));
    EXPECT_EQ(L"Report Builder", std::wstring(v.getInternalName()));
    EXPECT_EQ(L"Report Builder.exe", std::wstring(v.getOriginalFilename()));
    EXPECT_EQ(L"Unknown", std::wstring(v.getFileVersion()));
    EXPECT_EQ(L"", std::wstring(v.getProductVersion()));
    EXPECT_EQ(L"", std::wstring(v.getCompanyName()));
}

TEST_F(VersionTest, FieldsAreCleanedBeforeBlanksAreFilled)
{
    const std::vector<uint8_t> bytes =
        montest::versionInfo({{u"040904E4",
                               {{u"FileDescription", u" ..Sample Viewer. "},
                                {u"ProductName", u"  ;: "},
                                {u"ProductVersion", u" 3.1 "},
                                {u"CompanyName", u" Acme Co. "}}}},
                             {{0x0409, 0x04e4}});
    VersionProbe v;
    EXPECT_TRUE(v.readBlock(VersionBlock(bytes.data(), bytes.size()), path(L"viewer.exe").c_str()));
    EXPECT_EQ(L"Sample Viewer", std::wstring(v.getFileDescription()));
    // Cleaned to nothing, then filled from the description.
    EXPECT_EQ(L"Sample Viewer", std::wstring(v.getProductName()));
    EXPECT_EQ(L"Sample Viewer", std::wstring(v.getInternalName()));
    EXPECT_EQ(L"viewer.exe", std::wstring(v.getOriginalFilename()));
    // A product version alone keeps the file version empty.
    EXPECT_EQ(L"", std::wstring(v.getFileVersion()));
    // Versions and the company are taken as they stand.
    EXPECT_EQ(L" 3.1 ", std::wstring(v.getProductVersion()));
    EXPECT_EQ(L" Acme Co. ", std::wstring(v.getCompanyName()));
}

TEST_F(VersionTest, FileWithoutVersionInformationGetsBlanksAndFalse)
{
    testsupport::TempFolder folder(L"VersionTest");
    const std::wstring file = folder.file(L"Plain Tool.exe");
    testsupport::writeFile(file, "not an exe");

    VersionProbe v;
    // Fields of an earlier file must not survive into the next one.
    const std::vector<uint8_t> bytes =
        montest::versionInfo({{u"040904E4", AllSeven(u"us")}}, {{0x0409, 0x04e4}});
    ASSERT_TRUE(v.readBlock(VersionBlock(bytes.data(), bytes.size()), path(L"other.exe").c_str()));

    EXPECT_FALSE(v.getInfoFromExecutable(file.c_str()));
    EXPECT_EQ(L"Plain Tool", std::wstring(v.getFileDescription()));
    EXPECT_EQ(L"Plain Tool", std::wstring(v.getProductName()));
    EXPECT_EQ(L"Plain Tool", std::wstring(v.getInternalName()));
    EXPECT_EQ(L"Plain Tool.exe", std::wstring(v.getOriginalFilename()));
    EXPECT_EQ(L"Unknown", std::wstring(v.getFileVersion()));
    EXPECT_EQ(L"", std::wstring(v.getProductVersion()));
    EXPECT_EQ(L"", std::wstring(v.getCompanyName()));

    EXPECT_FALSE(v.getInfoFromExecutable(nullptr));
    EXPECT_EQ(L"Plain Tool", std::wstring(v.getFileDescription()));
}

} // namespace
