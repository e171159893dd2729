#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include "base/Exception.h"
#include "base/File.h"
#include "base/Tools.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::EventRecorder;
using testsupport::TempFolder;

ByteArray bytesOf(const std::string& text)
{
    return ByteArray(text.data(), static_cast<int32_t>(text.size()));
}

TEST(FileTest, ExistsSeesOnlyFilesAndDirectoryExistsOnlyFolders)
{
    TempFolder folder(L"exists");
    const std::wstring file = folder.file(L"a.txt");
    testsupport::writeFile(file, "x");
    EXPECT_TRUE(File::exists(file));
    EXPECT_FALSE(File::directoryExists(file));
    EXPECT_TRUE(File::directoryExists(folder.path()));
    EXPECT_FALSE(File::exists(folder.path()));
    EXPECT_FALSE(File::exists(folder.file(L"missing")));
    EXPECT_FALSE(File::directoryExists(folder.file(L"missing")));
    EXPECT_FALSE(File::exists(L""));
    EXPECT_FALSE(File::directoryExists(L""));
}

TEST(FileTest, IsOfTypeComparesTheLastExtensionIgnoringCase)
{
    EXPECT_TRUE(File::isOfType(L"report.TXT", L"txt"));
    EXPECT_TRUE(File::isOfType(L"archive.tar.gz", L"GZ"));
    EXPECT_FALSE(File::isOfType(L"archive.tar.gz", L"tar"));
    EXPECT_FALSE(File::isOfType(L"report.txt", L"tx"));
    EXPECT_FALSE(File::isOfType(std::wstring(L"dir.ico") + File::Separator + L"file", L"ico"));
    EXPECT_TRUE(File::isOfType(L"noextension", L""));
}

TEST(FileTest, SaveReplacesTheFileAndLoadReadsItBack)
{
    TempFolder folder(L"saveload");
    const std::wstring path = folder.file(L"data.bin");
    File::save(path, bytesOf(std::string("0123456789\0tail", 15)));
    ByteArray loaded = bytesOf("stale");
    ASSERT_TRUE(File::load(path, loaded, 100));
    EXPECT_EQ(loaded, bytesOf(std::string("0123456789\0tail", 15)));
    File::save(path, bytesOf("abc"));
    ASSERT_TRUE(File::load(path, loaded, 100));
    EXPECT_EQ(loaded, bytesOf("abc"));
    File::save(path, ByteArray());
    loaded = bytesOf("stale");
    ASSERT_TRUE(File::load(path, loaded, 100));
    EXPECT_EQ(loaded.getSize(), 0);
}

TEST(FileTest, LoadCutsALargerFileAtTheMaximumAndTraces1060407)
{
    EventRecorder recorder;
    TempFolder folder(L"truncate");
    const std::wstring path = folder.file(L"ten.bin");
    testsupport::writeFile(path, "0123456789");
    ByteArray loaded;
    ASSERT_TRUE(File::load(path, loaded, 4));
    EXPECT_EQ(loaded, bytesOf("0123"));
    ASSERT_EQ(recorder.count(1060407), 1u);
    EXPECT_EQ(recorder.find(1060407).description,
              L"File::load - file too large. Returning truncated file");
    EXPECT_EQ(recorder.find(1060407).details, L" File:" + path);
    // Exactly the maximum is not too large.
    ASSERT_TRUE(File::load(path, loaded, 10));
    EXPECT_EQ(loaded, bytesOf("0123456789"));
    EXPECT_EQ(recorder.count(1060407), 1u);
}

TEST(FileTest, LoadOfAMissingFileFailsWithNothingRead)
{
    TempFolder folder(L"missing");
    ByteArray loaded = bytesOf("stale");
    EXPECT_FALSE(File::load(folder.file(L"none"), loaded, 10));
    EXPECT_EQ(loaded.getSize(), 0);
}

TEST(FileTest, TempFileNamesAreNewEmptyFilesInTheSystemFolder)
{
    std::wstring first = L"stale", second = L"stale";
    ASSERT_TRUE(File::createTempFileName(first));
    ASSERT_TRUE(File::createTempFileName(second, L"odx"));
    EXPECT_NE(first, second);
    for (const std::wstring& path : {first, second}) {
        EXPECT_TRUE(File::exists(path));
        EXPECT_EQ(fs::file_size(fs::path(path)), 0u);
        EXPECT_TRUE(testsupport::sameFolder(fs::path(path).parent_path().wstring(),
                                            fs::temp_directory_path().wstring()))
            << fs::path(path);
    }
    EXPECT_EQ(fs::path(first).filename().wstring().rfind(L"obt", 0), 0u);
    EXPECT_EQ(fs::path(second).filename().wstring().rfind(L"odx", 0), 0u);
    fs::remove(fs::path(first));
    fs::remove(fs::path(second));
}

TEST(FileTest, ModificationTimeIsInSecondsSinceTheUnixEpoch)
{
    TempFolder folder(L"mtime");
    const std::wstring path = folder.file(L"now.txt");
    const int64_t before = static_cast<int64_t>(std::time(nullptr));
    testsupport::writeFile(path, "x");
    const int64_t after = static_cast<int64_t>(std::time(nullptr));
    const int64_t modified = File::getLastModificationTime(path);
    // File systems keep coarser times than the clock; allow for rounding.
    EXPECT_GE(modified, before - 2);
    EXPECT_LE(modified, after + 2);
    EXPECT_EQ(File::getLastModificationTime(folder.file(L"missing")), 0);
}

TEST(FileTest, TempPathIsTheSystemFolderPlusOndrivexAndIsCreated)
{
    const std::wstring path = File::getTempPath();
    const fs::path system = fs::temp_directory_path();
    EXPECT_EQ(fs::path(path).filename().wstring(), L"Ondrivex");
    EXPECT_TRUE(testsupport::sameFolder(fs::path(path).parent_path().wstring(), system.wstring()))
        << fs::path(path);
    EXPECT_NE(path.back(), File::Separator[0]);
    File::initTempPath(false);
    EXPECT_TRUE(File::directoryExists(path));
    File::initTempPath(false); // already there: no failure
}

// A file where the temporary folder should be: the folder cannot be made and
// the exception says why, with the system's own error for it.
TEST(FileTest, TempFolderFailureCarriesTheSystemError)
{
    const fs::path path(File::getTempPath());
    ASSERT_FALSE(path.empty());
    const fs::path aside = path.wstring() + L".aside";
    std::error_code ignored;
    fs::remove_all(aside, ignored);
    const bool hadFolder = fs::exists(path);
    if (hadFolder)
        fs::rename(path, aside);
    File::save(path.wstring(), bytesOf("not a folder"));
    ASSERT_TRUE(File::exists(path.wstring()));

    std::wstring description;
    int id = 0;
    try {
        File::initTempPath(false);
    } catch (const SystemException& e) {
        id = e.getExceptionID();
        description = e.getDescription();
    }
    fs::remove(path, ignored);
    if (hadFolder)
        fs::rename(aside, path);

    EXPECT_EQ(id, 1060403);
    const std::wstring prefix = L"Unable to create Temp directory : ";
    const std::wstring suffix = L" (Param 1: " + path.wstring() + L") ";
    ASSERT_EQ(description.rfind(prefix, 0), 0u) << description;
    ASSERT_GT(description.size(), prefix.size() + suffix.size()) << description;
    ASSERT_EQ(description.substr(description.size() - suffix.size()), suffix) << description;
    // What lies between is "text (code)" for the error the failed creation set.
    const std::wstring info =
        description.substr(prefix.size(), description.size() - prefix.size() - suffix.size());
    const size_t open = info.rfind(L" (");
    ASSERT_NE(open, std::wstring::npos) << info;
    const unsigned long code = std::stoul(info.substr(open + 2));
    EXPECT_NE(code, 0ul);
    EXPECT_EQ(info, Tools::lookupErrorDescription(code) + L" (" + std::to_wstring(code) + L")");
    EXPECT_FALSE(Tools::lookupErrorDescription(code).empty());
}

// The first use of the folders may come from many threads at once (each
// test case runs in a fresh process, so they are found here for the first
// time): all get the same folder, and the ThreadSanitizer build reports an
// unguarded fill.
TEST(FileTest, FoldersAskedForByManyThreadsAtOnceAreTheSame)
{
    const int count = 8;
    std::vector<const std::wstring*> temps(count), datas(count);
    std::vector<std::wstring> tempTexts(count), dataTexts(count);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (ready.load() < count)
                std::this_thread::yield();
            datas[i] = &File::getUsersLocalDataPath();
            temps[i] = &File::getTempPath();
            tempTexts[i] = *temps[i];
            dataTexts[i] = *datas[i];
        });
    }
    for (auto& t : threads)
        t.join();
    const std::wstring temp = File::getTempPath();
    const std::wstring data = File::getUsersLocalDataPath();
    EXPECT_EQ(fs::path(temp).filename().wstring(), L"Ondrivex");
    EXPECT_EQ(fs::path(data).filename().wstring(), L"Ondrivex");
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(temps[i], &File::getTempPath()) << i;
        EXPECT_EQ(datas[i], &File::getUsersLocalDataPath()) << i;
        EXPECT_EQ(tempTexts[i], temp) << i;
        EXPECT_EQ(dataTexts[i], data) << i;
    }
}

TEST(FileTest, EmptyDirectoryDeletesOnlyIconFiles)
{
    EventRecorder recorder;
    TempFolder folder(L"empty");
    for (const wchar_t* name : {L"a.ico", L"B.ICO", L"keep.txt", L"ico"})
        testsupport::writeFile(folder.file(name), "x");
    fs::create_directory(fs::path(folder.file(L"sub.ico")));
    File::emptyDirectory(folder.path());
    EXPECT_FALSE(testsupport::fileExists(folder.file(L"a.ico")));
    EXPECT_FALSE(testsupport::fileExists(folder.file(L"B.ICO")));
    EXPECT_TRUE(testsupport::fileExists(folder.file(L"keep.txt")));
    EXPECT_TRUE(testsupport::fileExists(folder.file(L"ico")));
    EXPECT_TRUE(File::directoryExists(folder.file(L"sub.ico")));
    // Nothing left to delete is not a failure.
    File::emptyDirectory(folder.path());
    EXPECT_EQ(recorder.count(1060404), 0u);
}

TEST(FileTest, EmptyDirectoryReportsAMissingFolderAndSkipsOverlongPatterns)
{
    EventRecorder recorder;
    TempFolder folder(L"emptyfail");
    File::emptyDirectory(folder.file(L"missing"));
    ASSERT_EQ(recorder.count(1060404), 1u);
    EXPECT_EQ(recorder.find(1060404).description, L"Temp directory clean failed");
    // The folder and "/*.ico" must stay below 259 characters: at 258 the
    // (missing) folder is tried and fails, at 259 nothing is attempted.
    const std::wstring stem = folder.path() + File::Separator;
    const std::wstring tried = stem + std::wstring(252 - stem.size(), L'x');
    const std::wstring skipped = stem + std::wstring(253 - stem.size(), L'x');
    File::emptyDirectory(tried);
    EXPECT_EQ(recorder.count(1060404), 2u);
    File::emptyDirectory(skipped);
    EXPECT_EQ(recorder.count(1060404), 2u);
}

TEST(FileTest, UsersLocalDataPathEndsInOndrivexAndIsCreated)
{
    const std::wstring path = File::getUsersLocalDataPath();
    EXPECT_EQ(fs::path(path).filename().wstring(), L"Ondrivex");
    EXPECT_NE(path, File::getTempPath());
    EXPECT_TRUE(File::initUsersLocalDataPath());
    EXPECT_TRUE(File::directoryExists(path));
}

} // namespace
