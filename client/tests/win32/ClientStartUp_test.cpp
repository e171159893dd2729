#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Tools.h"
#include "base/win32/WindowsSupport.h"
#include "client/win32/CTavelinApp.h"
#include "shared/monitoring/win32/SystemSingleton.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

// The start-up with everything that reaches outside the process recorded.
class RecordingApp : public CTavelinApp {
public:
    std::vector<std::wstring> commands, terminated, messages;
    std::vector<UINT> flags;
    bool localSystem = false;
    bool throwOnCreate = false;
    int created = 0, windows = 0;
    std::wstring name = testsupport::uniqueName(L"OndrivexClientInstance");

    std::wstring defaultSingletonName() { return CTavelinApp::singletonName(); }

protected:
    int showMessage(const std::wstring& text, UINT f) override
    {
        messages.push_back(text);
        flags.push_back(f);
        return IDOK;
    }
    void runCommand(const std::wstring& commandLine) override { commands.push_back(commandLine); }
    void terminate(const std::wstring& exeName) override { terminated.push_back(exeName); }
    bool isLocalSystem() override { return localSystem; }
    std::wstring singletonName() override { return name; }
    void createApplication() override
    {
        ++created;
        if (throwOnCreate)
            throw Exception(1199998, L"no framework today",
                            TC_AT(L"RecordingApp::createApplication"));
    }
    bool runStatusWindow() override
    {
        ++windows;
        return true;
    }
};

std::string readAll(const std::wstring& path)
{
    std::vector<uint8_t> bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

class ClientStartUpTest : public ::testing::Test {
protected:
    testsupport::EventRecorder recorder{L"Ondrivex"};
};

TEST_F(ClientStartUpTest, AnUnwritableTemporaryFolderStopsBeforeTheCommandLine)
{
    wchar_t oldTmp[1024] = L"", oldTemp[1024] = L"";
    GetEnvironmentVariableW(L"TMP", oldTmp, 1024);
    GetEnvironmentVariableW(L"TEMP", oldTemp, 1024);
    SetEnvironmentVariableW(L"TMP", L"C:\\no\\such\\folder\\here\\");
    SetEnvironmentVariableW(L"TEMP", L"C:\\no\\such\\folder\\here\\");
    RecordingApp app;
    EXPECT_FALSE(app.InitInstance({L"installstart"}));
    SetEnvironmentVariableW(L"TMP", oldTmp);
    SetEnvironmentVariableW(L"TEMP", oldTemp);
    ASSERT_EQ(1u, app.messages.size());
    EXPECT_EQ(L"Failed to open debug.log", app.messages[0]);
    EXPECT_EQ(static_cast<UINT>(MB_OK), app.flags[0]);
    EXPECT_TRUE(app.commands.empty());
}

TEST_F(ClientStartUpTest, InstallStartRunsTheServiceWithAnyPrefixAndNothingElse)
{
    for (const wchar_t* argument : {L"installstart", L"/installstart", L"-installstart"}) {
        RecordingApp app;
        EXPECT_FALSE(app.InitInstance({argument}));
        ASSERT_EQ(1u, app.commands.size()) << argument;
        EXPECT_EQ(L"OndrivexService.exe /installstart", app.commands[0]);
        EXPECT_EQ(0, app.created);
        EXPECT_EQ(0, app.windows);
    }
    RecordingApp app;
    app.InitInstance({L"uninstallservice"});
    ASSERT_EQ(1u, app.commands.size());
    EXPECT_EQ(L"OndrivexService.exe /uninstall", app.commands[0]);
}

TEST_F(ClientStartUpTest, StopClientStopsTheServiceByItsOneNameThenBothClientNames)
{
    RecordingApp app;
    app.InitInstance({L"/stopClient"});
    ASSERT_EQ(1u, app.commands.size());
    EXPECT_EQ(L"OndrivexService.exe /stop OndrivexService", app.commands[0]);
    ASSERT_EQ(2u, app.terminated.size());
    EXPECT_EQ(L"Ondrivex.exe", app.terminated[0]);
    EXPECT_EQ(L"Tavelin.exe", app.terminated[1]);
    EXPECT_EQ(0, app.created);
}

TEST_F(ClientStartUpTest, AnotherArgumentAfterStopClientStartsNormally)
{
    RecordingApp app;
    app.InitInstance({L"stopClient", L"other"});
    EXPECT_TRUE(app.commands.empty());
    EXPECT_TRUE(app.terminated.empty());
    EXPECT_EQ(1, app.created);
    EXPECT_EQ(1, app.windows);
}

TEST_F(ClientStartUpTest, ASecondInstanceOfTheUserLogsAndStops)
{
    RecordingApp first, second;
    second.name = first.name;
    first.InitInstance({});
    EXPECT_EQ(1, first.windows);
    second.InitInstance({});
    EXPECT_EQ(0, second.created);
    EXPECT_EQ(0, second.windows);
    testsupport::CapturedEvent e = recorder.find(1190004);
    EXPECT_EQ(L"Multiple instances of Ondrivex client started", e.description);
    EXPECT_TRUE(e.logged);
    EXPECT_TRUE(second.messages.empty());
}

TEST_F(ClientStartUpTest, LocalSystemIsRefusedBeforeTheGuardIsTaken)
{
    RecordingApp app;
    app.localSystem = true;
    app.InitInstance({});
    EXPECT_EQ(0, app.created);
    EXPECT_EQ(L"Can not start Ondrivex client in local system account",
              recorder.find(1190003).description);
    EXPECT_EQ(0u, recorder.count(1190004));
    // The guard's name is still free.
    SystemSingleton guard;
    EXPECT_TRUE(guard.create(app.name.c_str()));
    EXPECT_TRUE(app.messages.empty());
}

TEST_F(ClientStartUpTest, AnExceptionDuringStartUpIsShownAndLogged)
{
    RecordingApp app;
    app.throwOnCreate = true;
    EXPECT_FALSE(app.InitInstance({}));
    ASSERT_EQ(1u, app.messages.size());
    EXPECT_EQ(0u, app.messages[0].find(L"An unexpected error occurred during exucution.\n"
                                       L"Please contact Ondrivex Technical Support for assistance. "
                                       L"[1190002]\n\n"));
    EXPECT_NE(std::wstring::npos, app.messages[0].find(L"no framework today"));
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), app.flags[0]);
    testsupport::CapturedEvent e = recorder.find(1190002);
    EXPECT_EQ(L"Unexpected Exception during InitInstance", e.description);
    EXPECT_EQ(1199998, e.exceptionId);
    EXPECT_EQ(0, app.windows);
}

TEST_F(ClientStartUpTest, TheGuardIsNamedForTheUsersLogon)
{
    RecordingApp app;
    EXPECT_EQ(Tools::createLocalObjectName(L"ClientInstanceMFC"), app.defaultSingletonName());
}

// The real program, as a second process with a temporary folder of its own.
class ClientProgramTest : public ::testing::Test {
protected:
    ClientProgramTest()
    {
        GetEnvironmentVariableW(L"TMP", m_oldTmp, 1024);
        GetEnvironmentVariableW(L"TEMP", m_oldTemp, 1024);
        std::wstring tmp = folder.path() + L"\\";
        SetEnvironmentVariableW(L"TMP", tmp.c_str());
        SetEnvironmentVariableW(L"TEMP", tmp.c_str());
    }
    ~ClientProgramTest() override
    {
        SetEnvironmentVariableW(L"TMP", m_oldTmp);
        SetEnvironmentVariableW(L"TEMP", m_oldTemp);
    }
    std::wstring program()
    {
        std::wstring bin = testsupport::binFolder();
        return bin.substr(0, bin.find_last_of(L"\\/")) + L"\\dist\\Ondrivex.exe";
    }
    struct Search {
        DWORD process;
        HWND found;
    };
    static BOOL CALLBACK match(HWND w, LPARAM data)
    {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        wchar_t title[64] = L"";
        GetWindowTextW(w, title, 64);
        if (owner == s->process && std::wstring(title) == L"Ondrivex") {
            s->found = w;
            return FALSE;
        }
        return TRUE;
    }
    // The status window of the process, once it has one.
    HWND findWindow(DWORD process)
    {
        Search search{process, nullptr};
        for (int i = 0; i < 3000 && !search.found; ++i) {
            EnumWindows(&ClientProgramTest::match, reinterpret_cast<LPARAM>(&search));
            if (!search.found)
                Sleep(10);
        }
        return search.found;
    }

    testsupport::TempFolder folder{L"ClientProgram"};
    wchar_t m_oldTmp[1024] = L"";
    wchar_t m_oldTemp[1024] = L"";
};

TEST_F(ClientProgramTest, StartsInTheTrayRunsItsLoopAndEndsWhenClosed)
{
    testsupport::ChildProcess client;
    ASSERT_TRUE(client.start(program(), {}));
    HWND window = findWindow(client.id());
    ASSERT_NE(nullptr, window);
    // Hidden: only the tray icon shows at start.
    for (int i = 0; i < 200 && IsWindowVisible(window); ++i)
        Sleep(10);
    EXPECT_FALSE(IsWindowVisible(window));
    // The window exists a moment before the loop's trace line is written.
    for (int i = 0; i < 2000; ++i) {
        if (readAll(folder.file(L"debug.log")).find("Run Modal...") != std::string::npos)
            break;
        Sleep(10);
    }
    // A second copy for the same user stops at the guard.
    int second = testsupport::runProgram(program(), {});
    EXPECT_EQ(0, second);
    PostMessageW(window, WM_CLOSE, 0, 0);
    int code = -1;
    ASSERT_TRUE(client.wait(20000, code));
    EXPECT_EQ(0, code);
    std::string log = readAll(folder.file(L"debug.log"));
    const char* first =
        "Startup...\nSetup logging\nEnsureCurrentUserIsNotLocalSystem\nEnsureSingleInstance\n"
        "Initalize Tave Lin Application\nInstantiate DLG\nCreate DLG\nRun Modal...\n";
    const char* then =
        "Startup...\nSetup logging\nEnsureCurrentUserIsNotLocalSystem\nEnsureSingleInstance\n";
    // The file is text: the runtime may write CR LF.
    std::string plain;
    for (char c : log)
        if (c != '\r')
            plain += c;
    EXPECT_EQ(std::string(first) + then, plain);
}

} // namespace

namespace {

TEST(TerminateOtherClientTest, EndsTheOtherProcessThroughItsWindowButNeverItself)
{
    testsupport::ChildProcess probe;
    ASSERT_TRUE(probe.start(testsupport::helperProgram(L"client_window_probe"), {}));
    // Its window must exist before it can be found through it.
    HWND found = nullptr;
    for (int i = 0; i < 2000 && !found; ++i) {
        HWND w = FindWindowW(L"STATIC", L"probe");
        DWORD owner = 0;
        if (w)
            GetWindowThreadProcessId(w, &owner);
        if (owner == probe.id())
            found = w;
        else
            Sleep(10);
    }
    ASSERT_NE(nullptr, found);

    // Started as a copy of the same program, the request skips the caller
    // and ends the other copy.
    int self =
        testsupport::runProgram(testsupport::helperProgram(L"client_window_probe"), {L"--self"});
    EXPECT_EQ(7, self);
    int code = -1;
    ASSERT_TRUE(probe.wait(20000, code));
    EXPECT_EQ(0, code); // terminated with exit code 0, not its own 3
}

} // namespace
