#include <gtest/gtest.h>

#include "base/FileName.h"

namespace {

void expectParts(const FileName& name, const wchar_t* full, const wchar_t* folder,
                 const wchar_t* file, const wchar_t* extension)
{
    EXPECT_EQ(name.getFullPath(), full);
    EXPECT_EQ(name.getDrive(), L"");
    EXPECT_EQ(name.getFolder(), folder);
    EXPECT_EQ(name.getName(), file);
    EXPECT_EQ(name.getExtension(), extension);
    EXPECT_EQ(name.getDriveAndFolder(), folder);
}

TEST(FileNamePosixTest, NativePathsKeepTheirLeadingSeparator)
{
    expectParts(FileName(L"/tmp/dir/file.txt"), L"/tmp/dir/file.txt", L"/tmp/dir", L"file", L"txt");
    expectParts(FileName(L"/file.txt"), L"/file.txt", L"/", L"file", L"txt");
    expectParts(FileName(L"/tmp/dir/"), L"/tmp/dir", L"/tmp", L"dir", L"");
    expectParts(FileName(L"relative/file"), L"relative/file", L"relative", L"file", L"");
    expectParts(FileName(L"/home/u/.config/x.y.z"), L"/home/u/.config/x.y.z", L"/home/u/.config",
                L"x.y", L"z");
}

TEST(FileNamePosixTest, ColonsAndBackslashesAreOrdinaryCharacters)
{
    expectParts(FileName(L"/srv/a:b/c.d"), L"/srv/a:b/c.d", L"/srv/a:b", L"c", L"d");
    expectParts(FileName(L"/srv/x:y", L"name", L"ext"), L"/srv/x:y/name.ext", L"/srv/x:y", L"name",
                L"ext");
}

} // namespace
