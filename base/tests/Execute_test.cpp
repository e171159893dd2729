#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/Execute.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempFolder;

std::wstring probeFileName()
{
    return fs::path(testsupport::helperProgram(L"base_exec_probe")).filename().wstring();
}

std::wstring probeCommand(const TempFolder& markers, int milliseconds)
{
    return probeFileName() + L" \"" + markers.path() + L"\" " + std::to_wstring(milliseconds);
}

bool waitForFile(const std::wstring& path, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!testsupport::fileExists(path)) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

TEST(ExecuteTest, SplitCommandSeparatesTheProgramFromItsArguments)
{
    std::wstring program = L"stale", arguments = L"stale";
    Execute::splitCommand(L"OndrivexService.exe /stop TavelClientService", program, arguments);
    EXPECT_EQ(program, L"OndrivexService.exe");
    EXPECT_EQ(arguments, L"/stop TavelClientService");
    Execute::splitCommand(L"  \"my program.exe\"   \"a b\" c", program, arguments);
    EXPECT_EQ(program, L"my program.exe");
    EXPECT_EQ(arguments, L"\"a b\" c");
    Execute::splitCommand(L"alone", program, arguments);
    EXPECT_EQ(program, L"alone");
    EXPECT_EQ(arguments, L"");
    Execute::splitCommand(L"   ", program, arguments);
    EXPECT_EQ(program, L"");
}

TEST(ExecuteTest, EmptyOrMissingProgramsAreNotStarted)
{
    EXPECT_FALSE(Execute::exec(L"", testsupport::binFolder()));
    EXPECT_FALSE(Execute::exec(L"  ", testsupport::binFolder()));
    EXPECT_FALSE(Execute::exec(L"no_such_program.exe /x", testsupport::binFolder()));
}

TEST(ExecuteTest, AProgramThatEndsInTimeGivesTrue)
{
    TempFolder markers(L"exec-quick");
    EXPECT_TRUE(Execute::exec(probeCommand(markers, 0), testsupport::binFolder()));
    EXPECT_TRUE(testsupport::fileExists(markers.file(L"finished")));
}

TEST(ExecuteTest, WithoutAFolderTheProgramIsLookedUpBesideThisOne)
{
    TempFolder markers(L"exec-own");
    EXPECT_TRUE(Execute::exec(probeCommand(markers, 0)));
    EXPECT_TRUE(testsupport::fileExists(markers.file(L"finished")));
}

TEST(ExecuteTest, AProgramThatRunsLongerGivesFalseAndKeepsRunning)
{
    TempFolder markers(L"exec-long");
    EXPECT_FALSE(Execute::exec(probeCommand(markers, 8000), testsupport::binFolder()));
    EXPECT_TRUE(testsupport::fileExists(markers.file(L"started")));
    EXPECT_FALSE(testsupport::fileExists(markers.file(L"finished")));
    // Not stopped: it gets to the end of its sleep on its own.
    EXPECT_TRUE(waitForFile(markers.file(L"finished"), std::chrono::seconds(60)));
}

} // namespace
