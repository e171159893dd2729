// The system model and the foreground tracking on the real desktop: helper
// programs open windows with known titles, and the tests move them about.
// Under Wine (Xvfb, no window manager) no shell window exists unless a
// process registers one, and a minimised window stays in the foreground;
// the tests register their own shell window where they need one.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "MonitoringFramework.h"
#include "RealDesktopFixture.h"
#include "base/File.h"
#include "base/Tools.h"
#include "base/Utf16.h"
#include "base/win32/WindowsSupport.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/IdleUserMonitorService.h"
#include "shared/monitoring/PCLockedMonitorService.h"
#include "shared/monitoring/System.h"
#include "shared/monitoring/win32/Win32Desktop.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

#include <wincrypt.h>

using namespace desktoptest;

namespace {

// SHA-1 of the file through the system's own provider, as Base64 text.
std::string systemSha1Base64(const std::wstring& path)
{
    const std::vector<uint8_t> bytes = testsupport::readFile(path);
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[20] = {};
    DWORD length = sizeof digest;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return "no provider";
    if (CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash)) {
        CryptHashData(hash, bytes.data(), static_cast<DWORD>(bytes.size()), 0);
        CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0);
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (int i = 0; i < 20; i += 3) {
        const unsigned v = (digest[i] << 16) | ((i + 1 < 20 ? digest[i + 1] : 0) << 8) |
                           (i + 2 < 20 ? digest[i + 2] : 0);
        text += alphabet[(v >> 18) & 63];
        text += alphabet[(v >> 12) & 63];
        text += i + 1 < 20 ? alphabet[(v >> 6) & 63] : '=';
        text += i + 2 < 20 ? alphabet[v & 63] : '=';
    }
    return text;
}

// A window of this process registered as the shell's window, for the rules
// that fall back to it. Wine has none unless a process registers one.
class OwnShellWindow {
public:
    OwnShellWindow()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"OndrivexTestShell";
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, L"OndrivexTestShell", L"Test shell", WS_POPUP | WS_VISIBLE, 0,
                                   0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        // Not in the SDK's headers: looked up in user32.
        using SetShell = BOOL(WINAPI*)(HWND);
        const SetShell setShell = reinterpret_cast<SetShell>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetShellWindow"));
        m_registered = m_window != nullptr && setShell != nullptr && setShell(m_window) &&
                       GetShellWindow() == m_window;
    }
    ~OwnShellWindow()
    {
        if (m_window != nullptr)
            DestroyWindow(m_window);
    }
    bool registered() const { return m_registered; }
    HWND window() const { return m_window; }

private:
    HWND m_window = nullptr;
    bool m_registered = false;
};

bool samePath(const std::wstring& a, const std::wstring& b)
{
    return Tools::equalsIgnoringCase(a, b);
}

TEST_F(RealDesktopTest, DesktopAnswersForAHelperWindow)
{
    HelperWindow helper;
    ASSERT_TRUE(helper.open(L"mon_win_quill", title(L"Answers")));
    ASSERT_TRUE(helper.bringToFront());
    EXPECT_EQ(helper.window(), m_desktop.foregroundWindow());
    std::vector<native::Window> windows;
    m_desktop.topLevelWindows(windows);
    EXPECT_NE(windows.end(), std::find(windows.begin(), windows.end(), helper.window()));
    EXPECT_NE(0u, m_desktop.windowStyle(helper.window()) & Desktop::StyleVisible);
    EXPECT_EQ(0u, m_desktop.windowStyle(helper.window()) & Desktop::StyleMinimised);
    unsigned long error = 0xdeadbeef;
    EXPECT_EQ(helper.processId(), m_desktop.windowProcessId(helper.window(), error));
    EXPECT_EQ(0u, error);

    const std::wstring expected = testsupport::helperProgram(L"mon_win_quill");
    std::wstring first = L"prefilled", second = L"prefilled";
    EXPECT_EQ(Desktop::PathLookup::Found, m_desktop.modulePath(helper.processId(), first).status);
    EXPECT_TRUE(samePath(expected, first)) << std::string(first.begin(), first.end());
    EXPECT_EQ(Desktop::PathLookup::Found, m_desktop.imagePath(helper.processId(), second).status);
    EXPECT_TRUE(samePath(expected, second)) << std::string(second.begin(), second.end());

    std::wstring caption;
    EXPECT_TRUE(m_desktop.windowText(helper.window(), 500, caption, error));
    EXPECT_EQ(helper.title(), caption);
}

TEST_F(RealDesktopTest, EndedProcessHasNoModuleAndItsWindowNoProcess)
{
    HelperWindow helper;
    ASSERT_TRUE(helper.open(L"mon_win_bare", title(L"Ending")));
    const uint32_t id = helper.processId();
    const HWND window = helper.window();
    ASSERT_TRUE(helper.close());
    std::wstring path = L"prefilled";
    const Desktop::PathResult first = m_desktop.modulePath(id, path);
    EXPECT_NE(Desktop::PathLookup::Found, first.status);
    EXPECT_NE(0u, first.error);
    EXPECT_EQ(L"prefilled", path);
    // The test still holds the ended process, so it can be opened and its
    // image name read, as on Windows; what matters to the model is that
    // its window has gone.
    const Desktop::PathResult second = m_desktop.imagePath(id, path);
    if (second.status == Desktop::PathLookup::Found)
        EXPECT_TRUE(samePath(testsupport::helperProgram(L"mon_win_bare"), path));
    unsigned long error = 0;
    EXPECT_EQ(0u, m_desktop.windowProcessId(window, error));
    EXPECT_NE(0u, error);
    EXPECT_EQ(0u, m_desktop.windowStyle(window));
    std::wstring caption = L"prefilled";
    EXPECT_FALSE(m_desktop.windowText(window, 500, caption, error));
    EXPECT_EQ(L"", caption);
}

TEST_F(RealDesktopTest, LongTitleIsCutWithoutSplittingASurrogatePair)
{
    HelperWindow helper;
    ASSERT_TRUE(helper.open(L"mon_win_bare", title(L"Long")));
    const std::wstring smile = L"\xD83D\xDE00";
    ASSERT_TRUE(helper.setTitle(std::wstring(498, L'a') + smile + L" tail"));
    System system(m_desktop);
    const TopLevelWindow* window = system.findWindow(helper.window());
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(std::wstring(498, L'a'), window->getTitleBarText());
    ASSERT_TRUE(helper.setTitle(std::wstring(497, L'b') + smile + L" tail"));
    EXPECT_EQ(std::wstring(497, L'b') + smile, window->getTitleBarText());
}

TEST_F(RealDesktopTest, SystemRecordsTheWindowAndItsApplication)
{
    HelperWindow helper;
    ASSERT_TRUE(helper.open(L"mon_win_quill", title(L"Record")));
    ASSERT_TRUE(helper.bringToFront());
    System system(m_desktop);
    const TopLevelWindow* active = system.getActiveWindow();
    ASSERT_NE(nullptr, active);
    EXPECT_EQ(helper.window(), active->getHWND());
    EXPECT_EQ(helper.processId(), active->getProcessID());
    const std::wstring path = testsupport::helperProgram(L"mon_win_quill");
    EXPECT_TRUE(samePath(path, active->getExeFileName()));

    const Application* application = system.getActiveApplication();
    ASSERT_NE(nullptr, application);
    const Version& v = application->getVersionInfo();
    EXPECT_STREQ(L"QuillPad.exe", v.getOriginalFilename());
    EXPECT_STREQ(L"QuillPad Writer", v.getFileDescription());
    EXPECT_STREQ(L"quillpad", v.getInternalName());
    EXPECT_STREQ(L"3.1.4.1", v.getFileVersion());
    EXPECT_STREQ(L"QuillPad", v.getProductName());
    EXPECT_STREQ(L"3.1", v.getProductVersion());
    EXPECT_STREQ(L"Quill Software Ltd", v.getCompanyName());
    EXPECT_EQ(-1, application->getID());
    EXPECT_GT(application->getLastModifiedTime(), 0);
    const ByteArray* hash = application->getHash();
    EXPECT_EQ(systemSha1Base64(path), std::string(reinterpret_cast<const char*>(hash->getData()),
                                                  static_cast<size_t>(hash->getSize())));
    // The icon went to the library in the temporary folder, named after the file.
    const std::wstring library = application->getIcon().getLibraryPath();
    EXPECT_EQ(File::getTempPath() + File::Separator + L"mon_win_quill0001.ico", library);
    const std::vector<uint8_t> ico = testsupport::readFile(library);
    ASSERT_GE(ico.size(), 22u);
    EXPECT_EQ(0, ico[0]);
    EXPECT_EQ(0, ico[1]);
    EXPECT_EQ(1, ico[2]);
    EXPECT_EQ(1, ico[4]) << "one image";
    EXPECT_EQ(24, ico[6]) << "24 x 24";
}

TEST_F(RealDesktopTest, ExecutablePathLongerThanTwoHundredSixtyCharactersIsReadWhole)
{
    // A program installed deep down: its path no longer fits the 260
    // characters a fixed buffer would take.
    std::wstring folder = m_folder.path();
    for (int i = 0; i < 3; ++i) {
        folder += L"\\" + std::wstring(90, static_cast<wchar_t>(L'k' + i));
        if (!CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr))
            GTEST_SKIP() << "this system makes no folder beyond 260 characters";
    }
    const std::wstring program = folder + L"\\mon_win_deep.exe";
    ASSERT_GT(program.size(), 300u);
    if (!CopyFileW(testsupport::helperProgram(L"mon_win_quill").c_str(),
                   (L"\\\\?\\" + program).c_str(), FALSE))
        GTEST_SKIP() << "this system copies no file beyond 260 characters (error " << GetLastError()
                     << ")";
    HelperWindow helper;
    if (!helper.openPath(program, title(L"Deep")) &&
        !helper.openPath(L"\\\\?\\" + program, title(L"Deep")))
        GTEST_SKIP() << "this system starts no program beyond 260 characters (Wine 8 refuses)";
    System system(m_desktop);
    const TopLevelWindow* window = system.findWindow(helper.window());
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(samePath(program, window->getExeFileName()));
    const Application* application = system.findApplication(window->getExeFileName());
    ASSERT_NE(nullptr, application);
    EXPECT_STREQ(L"QuillPad.exe", application->getVersionInfo().getOriginalFilename());
    EXPECT_EQ(systemSha1Base64(program),
              std::string(reinterpret_cast<const char*>(application->getHash()->getData()),
                          static_cast<size_t>(application->getHash()->getSize())));
    ASSERT_TRUE(helper.close());
}

TEST_F(RealDesktopTest, SecondWayFindsTheSamePath)
{
    // Wine grants the first way to every process of the user, so a process
    // that refuses it cannot be shown here; the second way is asked directly.
    class Probe : public TopLevelWindow {
    public:
        using TopLevelWindow::TopLevelWindow;
        using TopLevelWindow::getExePathFromProcessID1;
        using TopLevelWindow::getExePathFromProcessID2;
    };
    HelperWindow helper;
    ASSERT_TRUE(helper.open(L"mon_win_quill", title(L"Second")));
    Probe window(helper.window(), m_desktop);
    const std::wstring first = window.getExePathFromProcessID1(helper.processId());
    const std::wstring second = window.getExePathFromProcessID2(helper.processId());
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(samePath(first, second));
    m_events.clear();
    EXPECT_EQ(L"", window.getExePathFromProcessID2(0x7FFFFFF0));
    EXPECT_EQ(1u, m_events.count(1062409) + m_events.count(1062408));
}

TEST_F(RealDesktopTest, HiddenAndClosedWindowsLeaveAtTheNextRefresh)
{
    HelperWindow a, b;
    ASSERT_TRUE(a.open(L"mon_win_bare", title(L"Hide")));
    ASSERT_TRUE(b.open(L"mon_win_bare", title(L"Close")));
    System system(m_desktop);
    ASSERT_NE(nullptr, system.findWindow(a.window()));
    ASSERT_NE(nullptr, system.findWindow(b.window()));
    ShowWindow(a.window(), SW_HIDE);
    ASSERT_TRUE(b.close());
    system.refresh();
    EXPECT_EQ(nullptr, system.findWindow(a.window()));
    EXPECT_EQ(nullptr, system.findWindow(b.window()));
    ShowWindow(a.window(), SW_SHOW);
    system.refresh();
    EXPECT_NE(nullptr, system.findWindow(a.window()));
}

TEST_F(RealDesktopTest, TrackingReportsTitlesAsTheyChange)
{
    HelperWindow quill, bare;
    ASSERT_TRUE(bare.open(L"mon_win_bare", title(L"Memo") + L" - mon_win_bare"));
    ASSERT_TRUE(quill.open(L"mon_win_quill", L"Plan.txt - QuillPad"));
    ASSERT_TRUE(quill.bringToFront());
    System system(m_desktop);
    montest::TestFramework framework;
    auto* tracking = framework.add(new GenericAppChangeService(system, rulesFile()));
    auto* recorder = framework.add(new montest::PluginInfoRecorder());

    tracking->onTimer();
    framework.drain();
    ASSERT_EQ(1u, recorder->received.size());
    EXPECT_EQ(GenericAppChangeService::handleToInt(quill.window()), handle(recorder->received[0]));
    EXPECT_EQ(L"SecondClass", text(recorder->received[0], L"PluginInfoQuality"));
    EXPECT_EQ(L"Plan.txt", text(recorder->received[0], L"ContextString2"));
    EXPECT_EQ(L"QuillPad", text(recorder->received[0], L"ContextString1"));
    EXPECT_EQ(L"Writing", text(recorder->received[0], L"ContextString3"));

    ASSERT_TRUE(quill.setTitle(L"QuillPad"));
    tracking->onTimer();
    framework.drain();
    ASSERT_EQ(2u, recorder->received.size());
    EXPECT_EQ(L"FourthClass", text(recorder->received[1], L"PluginInfoQuality"));
    EXPECT_EQ(L"QuillPad", text(recorder->received[1], L"ContextString2"));
    EXPECT_EQ(L"", text(recorder->received[1], L"ContextString1"));

    // Without rules and without a version resource the file description is
    // the file's name, which the title split recognises.
    ASSERT_TRUE(bare.bringToFront());
    tracking->onTimer();
    framework.drain();
    ASSERT_EQ(3u, recorder->received.size());
    EXPECT_EQ(GenericAppChangeService::handleToInt(bare.window()), handle(recorder->received[2]));
    EXPECT_EQ(L"ThirdClass", text(recorder->received[2], L"PluginInfoQuality"));
    EXPECT_EQ(title(L"Memo"), text(recorder->received[2], L"ContextString2"));
    const Application* application = system.getActiveApplication();
    ASSERT_NE(nullptr, application);
    EXPECT_STREQ(L"mon_win_bare.exe", application->getVersionInfo().getOriginalFilename());
    EXPECT_STREQ(L"Unknown", application->getVersionInfo().getFileVersion());
}

TEST_F(RealDesktopTest, MinimisedForegroundWindowReportsTheShellWindow)
{
    OwnShellWindow shell;
    if (!shell.registered())
        GTEST_SKIP() << "another process holds the shell window of this desktop";
    HelperWindow helper;
    ASSERT_TRUE(helper.open(L"mon_win_quill", L"Minimised - QuillPad"));
    ASSERT_TRUE(helper.bringToFront());
    System system(m_desktop);
    ASSERT_EQ(helper.window(), system.getActiveWindow()->getHWND());
    ShowWindow(helper.window(), SW_MINIMIZE);
    ASSERT_TRUE(testsupport::eventually([&] { return IsIconic(helper.window()) != FALSE; }));
    // Wine keeps the minimised window in the foreground (Windows would
    // activate another); either way the model reports the shell window.
    const TopLevelWindow* active = system.getActiveWindow();
    ASSERT_NE(nullptr, active);
    EXPECT_EQ(shell.window(), active->getHWND());
    EXPECT_TRUE(samePath(Tools::getExecutablePath(), active->getExeFileName()));

    montest::TestFramework framework;
    auto* tracking = framework.add(new GenericAppChangeService(system, rulesFile()));
    auto* recorder = framework.add(new montest::PluginInfoRecorder());
    tracking->onTimer();
    framework.drain();
    ASSERT_EQ(1u, recorder->received.size());
    EXPECT_EQ(GenericAppChangeService::handleToInt(shell.window()), handle(recorder->received[0]));
    EXPECT_EQ(L"Test shell", text(recorder->received[0], L"ContextString2"));
}

TEST_F(RealDesktopTest, ClosingTheLastForegroundWindowLeavesNoActiveWindow)
{
    if (GetShellWindow() != nullptr)
        GTEST_SKIP()
            << "a shell window is registered on this desktop; the fallback would report it";
    HelperWindow helper;
    ASSERT_TRUE(helper.open(L"mon_win_bare", title(L"Last")));
    ASSERT_TRUE(helper.bringToFront());
    System system(m_desktop);
    ASSERT_NE(nullptr, system.getActiveWindow());
    ASSERT_TRUE(helper.close());
    system.refresh();
    const TopLevelWindow* active = system.getActiveWindow();
    // The foreground passes to some other window or to none; never to the
    // closed one.
    if (active != nullptr)
        EXPECT_NE(helper.window(), active->getHWND());
    EXPECT_EQ(nullptr, system.findWindow(helper.window()));
}

} // namespace
