#include <gtest/gtest.h>

#include "base/FileName.h"

namespace {

void expectParts(const FileName& name, const wchar_t* full, const wchar_t* drive,
                 const wchar_t* folder, const wchar_t* file, const wchar_t* extension,
                 const wchar_t* driveAndFolder)
{
    EXPECT_EQ(name.getFullPath(), full);
    EXPECT_EQ(name.getDrive(), drive);
    EXPECT_EQ(name.getFolder(), folder);
    EXPECT_EQ(name.getName(), file);
    EXPECT_EQ(name.getExtension(), extension);
    EXPECT_EQ(name.getDriveAndFolder(), driveAndFolder);
}

TEST(FileNameWindowsTest, FullPathSplitsIntoDriveFolderNameAndExtension)
{
    expectParts(FileName(L"C:\\dir\\sub\\file.txt"), L"C:\\dir\\sub\\file.txt", L"C", L"\\dir\\sub",
                L"file", L"txt", L"C:\\dir\\sub");
    // Composing puts the platform's own separator before the name.
    expectParts(FileName(L"C:/dir/sub/file.txt"), L"C:/dir/sub\\file.txt", L"C", L"/dir/sub",
                L"file", L"txt", L"C:/dir/sub");
    expectParts(FileName(L"C:\\file.txt"), L"C:\\file.txt", L"C", L"\\", L"file", L"txt", L"C:\\");
    expectParts(FileName(L"C:\\"), L"C:\\", L"C", L"\\", L"", L"", L"C:\\");
    expectParts(FileName(L"\\\\server\\share\\file.txt"), L"\\\\server\\share\\file.txt", L"",
                L"\\\\server\\share", L"file", L"txt", L"\\\\server\\share");
    expectParts(FileName(L"relative\\file"), L"relative\\file", L"", L"relative", L"file", L"",
                L"relative");
}

TEST(FileNameWindowsTest, TrailingSeparatorsAndPunctuationAreCleanedAway)
{
    expectParts(FileName(L"C:\\dir\\sub\\"), L"C:\\dir\\sub", L"C", L"\\dir", L"sub", L"",
                L"C:\\dir");
    expectParts(FileName(L"C:\\dir\\\\file.txt. "), L"C:\\dir\\file.txt", L"C", L"\\dir", L"file",
                L"txt", L"C:\\dir");
}

TEST(FileNameWindowsTest, ConstructionFromPartsAndFolderPaths)
{
    expectParts(FileName(L"C:\\Program Files\\Ondrivex\\", L"Ondrivex", L"exe"),
                L"C:\\Program Files\\Ondrivex\\Ondrivex.exe", L"C", L"\\Program Files\\Ondrivex",
                L"Ondrivex", L"exe", L"C:\\Program Files\\Ondrivex");
    expectParts(FileName(L"D", L"\\data", L"queue", L"dat"), L"D:\\data\\queue.dat", L"D",
                L"\\data", L"queue", L"dat", L"D:\\data");
}

TEST(FileNameWindowsTest, DriveAndFolderSettersResplit)
{
    FileName name(L"C:\\dir\\sub\\file.txt");
    name.setDrive(L"D");
    expectParts(name, L"D:\\dir\\sub\\file.txt", L"D", L"\\dir\\sub", L"file", L"txt",
                L"D:\\dir\\sub");
    name.setFolder(L"\\other\\");
    expectParts(name, L"D:\\other\\file.txt", L"D", L"\\other", L"file", L"txt", L"D:\\other");
}

} // namespace
