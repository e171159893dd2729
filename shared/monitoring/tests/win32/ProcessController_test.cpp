#include <gtest/gtest.h>

#include "base/Tools.h"
#include "base/win32/WindowsSupport.h"
#include "shared/monitoring/ProcessController.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

class ProcessControllerProbe : public ProcessController {
public:
    using ProcessController::getActiveConsoleSessionID;
    using ProcessController::getProcessID;
};

// A copy of the probe program under a name of this test's own, with the
// events the probe names after itself.
class ProbeCopy {
public:
    explicit ProbeCopy(const std::wstring& stem)
        : m_folder(L"ProcessControllerTest"), m_name(testsupport::uniqueName(stem))
    {
        m_path = m_folder.file(m_name + L".exe");
        CopyFileW(testsupport::helperProgram(L"mon_probe").c_str(), m_path.c_str(), FALSE);
        m_ready = CreateEventW(nullptr, TRUE, FALSE, (L"Local\\" + m_name + L".Ready").c_str());
        m_quit = CreateEventW(nullptr, TRUE, FALSE, (L"Local\\" + m_name + L".Quit").c_str());
    }
    ~ProbeCopy()
    {
        SetEvent(m_quit);
        // The copy can only be deleted with its folder once it has ended.
        for (int i = 0; i < 100 && ProcessController::isProcessRunning((m_name + L".exe").c_str());
             ++i)
            Sleep(50);
        CloseHandle(m_ready);
        CloseHandle(m_quit);
    }
    const std::wstring& path() const { return m_path; }
    const std::wstring& name() const { return m_name; }
    bool waitReady() const { return WaitForSingleObject(m_ready, 30000) == WAIT_OBJECT_0; }
    void quit() const { SetEvent(m_quit); }

private:
    testsupport::TempFolder m_folder;
    std::wstring m_name;
    std::wstring m_path;
    HANDLE m_ready = nullptr;
    HANDLE m_quit = nullptr;
};

class ProcessControllerWin32Test : public ::testing::Test {
protected:
    static bool shellRuns()
    {
        // Wine starts its shell (explorer.exe /desktop) on the first use of
        // the desktop and ends it once no program needs it; Windows keeps
        // the user's shell running anyway.
        GetDesktopWindow();
        return ProcessControllerProbe::getProcessID(L"explorer.exe") != ProcessController::NotFound;
    }

    testsupport::EventRecorder m_events;
};

TEST_F(ProcessControllerWin32Test, FindsARunningProgramByNameInAnyCase)
{
    ProbeCopy probe(L"TcProbeFind");
    const std::wstring exe = probe.name() + L".exe";
    std::wstring lower = exe;
    Tools::stringToLower(lower);
    EXPECT_EQ(ProcessController::NotFound, ProcessControllerProbe::getProcessID(lower.c_str()));

    testsupport::ChildProcess child;
    ASSERT_TRUE(child.start(probe.path(), {}));
    ASSERT_TRUE(probe.waitReady());
    EXPECT_EQ(child.id(), ProcessControllerProbe::getProcessID(lower.c_str()));
    std::wstring upper = exe;
    Tools::stringToUpper(upper);
    EXPECT_TRUE(ProcessController::isProcessRunning(upper.c_str()));
    EXPECT_FALSE(ProcessController::isProcessRunning(probe.name().c_str())); // without extension

    probe.quit();
    int code = -1;
    EXPECT_TRUE(child.wait(30000, code));
    EXPECT_EQ(0, code);
    EXPECT_FALSE(ProcessController::isProcessRunning(exe.c_str()));
    EXPECT_TRUE(m_events.withId(1063908).empty());
}

TEST_F(ProcessControllerWin32Test, ConsoleSessionIsTheSystemsAndFoundProcessesAreInIt)
{
    using Function = DWORD(WINAPI*)();
    const Function system = reinterpret_cast<Function>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "WTSGetActiveConsoleSessionId"));
    ASSERT_NE(nullptr, system);
    const uint32_t console = ProcessControllerProbe::getActiveConsoleSessionID();
    EXPECT_EQ(system(), console);
    EXPECT_TRUE(m_events.withId(1063909).empty());
    EXPECT_TRUE(m_events.withId(1063910).empty());

    // This test program runs in the console session: it is the one found
    // even when other programs of its name would come first.
    DWORD mine = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &mine));
    if (mine != console)
        GTEST_SKIP() << "the test does not run in the console session";
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path);
    self = self.substr(self.find_last_of(L"\\/") + 1);
    const uint32_t found = ProcessControllerProbe::getProcessID(self.c_str());
    ASSERT_NE(ProcessController::NotFound, found);
    DWORD session = 0xdeadbeef;
    ASSERT_TRUE(ProcessIdToSessionId(found, &session));
    EXPECT_EQ(console, session);
}

TEST_F(ProcessControllerWin32Test, StartsAProgramAsTheShellsUser)
{
    if (!shellRuns())
        GTEST_SKIP() << "no shell process (explorer.exe) runs on this desktop";
    ProbeCopy probe(L"TcProbeStart");
    EXPECT_TRUE(ProcessController::startProcess(probe.path()));
    for (const uint32_t id :
         {1063901u, 1063902u, 1063903u, 1063904u, 1063905u, 1063906u, 1063907u, 1063911u})
        EXPECT_TRUE(m_events.withId(id).empty()) << id;
    ASSERT_TRUE(probe.waitReady());
    const uint32_t started = ProcessControllerProbe::getProcessID((probe.name() + L".exe").c_str());
    EXPECT_NE(ProcessController::NotFound, started);

    // The service's own identity is back once the call returns.
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_TOKEN), GetLastError());
    probe.quit();
}

TEST_F(ProcessControllerWin32Test, MissingProgramFailsWith1063907)
{
    if (!shellRuns())
        GTEST_SKIP() << "no shell process (explorer.exe) runs on this desktop";
    testsupport::TempFolder folder(L"ProcessControllerMissing");
    EXPECT_FALSE(ProcessController::startProcess(folder.file(L"absent.exe")));
    const std::vector<testsupport::CapturedEvent> traced = m_events.withId(1063907);
    ASSERT_EQ(1u, traced.size());
    EXPECT_EQ(L"Error creating process as user", traced[0].description);
    EXPECT_NE(std::wstring::npos, traced[0].details.find(L"ProcessID"));
    EXPECT_NE(std::wstring::npos, traced[0].details.find(L"System Error ID"));
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
}

} // namespace
