#include <gtest/gtest.h>

#include "base/File.h"
#include "base/FileName.h"
#include "testsupport/TestSupport.h"

namespace {

using testsupport::TempFolder;

TEST(FileNameTest, FolderNameAndExtensionComposeTheFullPath)
{
    TempFolder folder(L"compose");
    FileName name(folder.path(), L"report", L"ico");
    EXPECT_EQ(name.getFullPath(), folder.path() + File::Separator + L"report.ico");
    EXPECT_EQ(name.getName(), L"report");
    EXPECT_EQ(name.getExtension(), L"ico");
    EXPECT_EQ(name.getDriveAndFolder(), folder.path());
    // A folder given with its trailing separator composes the same path.
    EXPECT_EQ(FileName(folder.path() + File::Separator, L"report", L"ico"), name);
    const std::wstring& asText = name;
    EXPECT_EQ(asText, name.getFullPath());
}

TEST(FileNameTest, PartSettersRecomposeTheFullPath)
{
    TempFolder folder(L"setters");
    FileName name(folder.path(), L"report", L"ico");
    name.setName(L"summary");
    EXPECT_EQ(name.getFullPath(), folder.path() + File::Separator + L"summary.ico");
    name.setExtension(L"txt");
    EXPECT_EQ(name.getFullPath(), folder.path() + File::Separator + L"summary.txt");
    EXPECT_TRUE(name.isOfType(L"TXT"));
    name.setExtension(L"");
    EXPECT_EQ(name.getFullPath(), folder.path() + File::Separator + L"summary");
    name.setFullPath(folder.file(L"other.dat"));
    EXPECT_EQ(name.getName(), L"other");
    EXPECT_EQ(name.getExtension(), L"dat");
}

TEST(FileNameTest, NextAvailableIndexedNameSkipsExistingFiles)
{
    TempFolder folder(L"indexed");
    testsupport::writeFile(folder.file(L"report0001.ico"), "x");
    testsupport::writeFile(folder.file(L"report0002.ico"), "x");
    FileName name(folder.path(), L"report", L"ico");
    ASSERT_TRUE(name.getNextAvailableIndexedName());
    EXPECT_EQ(name.getFullPath(), folder.file(L"report0003.ico"));
    EXPECT_FALSE(name.exists());
}

TEST(FileNameTest, FirstIndexedNameFindsTheFirstExistingFile)
{
    TempFolder folder(L"first");
    testsupport::writeFile(folder.file(L"icon0003.ico"), "x");
    testsupport::writeFile(folder.file(L"icon0012.ico"), "x");
    FileName name(folder.path(), L"icon", L"ico");
    ASSERT_TRUE(name.setFirstIndexedName());
    EXPECT_EQ(name.getName(), L"icon0003");
    EXPECT_TRUE(name.exists());

    // None there: false, and the name is what it was.
    FileName none(folder.path(), L"absent", L"ico");
    EXPECT_FALSE(none.setFirstIndexedName());
    EXPECT_EQ(none.getName(), L"absent");
    EXPECT_EQ(none.getFullPath(), folder.file(L"absent.ico"));
}

} // namespace
