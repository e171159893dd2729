// The system model against a scripted desktop: which windows it keeps, which
// one is active, and how context reports are taken or refused.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/Exception.h"
#include "base/Utf16.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/MonitoringException.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "SystemFixture.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

TEST_F(SystemTest, RecordsVisibleWindowsOnlyWithTheirExecutables)
{
    const std::wstring writer = program(L"writer.exe");
    const std::wstring mailer = program(L"mailer.exe");
    m_desktop.startProcess(100, writer);
    m_desktop.startProcess(200, mailer);
    const native::Window a = m_desktop.openWindow(100, L"Plan.txt - Writer");
    const native::Window hidden = m_desktop.openWindow(100, L"hidden helper", 0);
    const native::Window b = m_desktop.openWindow(200, L"Inbox - Mailer");

    SystemProbe system(m_desktop, m_clock);

    EXPECT_EQ(2u, system.getWindowCount());
    ASSERT_NE(nullptr, system.findWindow(a));
    ASSERT_NE(nullptr, system.findWindow(b));
    EXPECT_EQ(nullptr, system.findWindow(hidden));
    EXPECT_EQ(100u, system.findWindow(a)->getProcessID());
    EXPECT_EQ(writer, system.findWindow(a)->getExeFileName());
    EXPECT_EQ(mailer, system.findWindow(b)->getExeFileName());
    EXPECT_TRUE(system.exists(writer.c_str()));
    EXPECT_TRUE(system.exists(mailer.c_str()));
    EXPECT_EQ(2u, system.getApplicationCount());
    EXPECT_EQ(-1, system.getApplicationID(writer.c_str()));
}

TEST_F(SystemTest, HiddenWindowLeavesAtNextRefreshAndNewWindowArrives)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    const native::Window a = m_desktop.openWindow(100, L"A");
    const native::Window b = m_desktop.openWindow(100, L"B");
    SystemProbe system(m_desktop, m_clock);
    ASSERT_EQ(2u, system.getWindowCount());

    m_desktop.setVisible(a, false);
    const native::Window c = m_desktop.openWindow(100, L"C");
    EXPECT_NE(nullptr, system.findWindow(a)) << "nothing changes before the refresh";
    system.refresh();

    EXPECT_EQ(nullptr, system.findWindow(a));
    EXPECT_NE(nullptr, system.findWindow(b));
    EXPECT_NE(nullptr, system.findWindow(c));

    m_desktop.closeWindow(b);
    system.refresh();
    EXPECT_EQ(nullptr, system.findWindow(b));
    EXPECT_EQ(1u, system.getWindowCount());
    EXPECT_EQ(1u, system.getApplicationCount()) << "applications are never removed";
}

TEST_F(SystemTest, ContextOfAWindowSurvivesARefreshThatKeepsIt)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    const native::Window a = m_desktop.openWindow(100, L"A");
    SystemProbe system(m_desktop, m_clock);
    ASSERT_TRUE(system.setContextInfo(a, L"one", L"two", L"three", TopLevelWindow::SecondClass));
    system.refresh();
    ASSERT_NE(nullptr, system.findWindow(a));
    EXPECT_EQ(L"two", system.findWindow(a)->getParam2());
}

TEST_F(SystemTest, MinimisedForegroundWindowMakesTheShellWindowActive)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    m_desktop.startProcess(4, program(L"shell.exe"));
    const native::Window shell = m_desktop.openWindow(4, L"Program Manager");
    const native::Window a = m_desktop.openWindow(100, L"A");
    m_desktop.setShell(shell);
    m_desktop.setForeground(a);
    SystemProbe system(m_desktop, m_clock);
    ASSERT_NE(nullptr, system.getActiveWindow());
    EXPECT_EQ(a, system.getActiveWindow()->getHWND());

    m_desktop.setMinimised(a, true);
    ASSERT_NE(nullptr, system.getActiveWindow());
    EXPECT_EQ(shell, system.getActiveWindow()->getHWND());
    EXPECT_EQ(shell, system.refresh()->getHWND());
}

TEST_F(SystemTest, WithoutShellWindowAMinimisedForegroundGivesNoActiveWindow)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    const native::Window a =
        m_desktop.openWindow(100, L"A", Desktop::StyleVisible | Desktop::StyleMinimised);
    m_desktop.setForeground(a);
    SystemProbe system(m_desktop, m_clock);
    m_events.clear();
    EXPECT_EQ(nullptr, system.getActiveWindow());
    EXPECT_EQ(nullptr, system.getActiveApplication());
    // Asking every second must not fill the trace with a window that is not there.
    EXPECT_EQ(0u, m_events.count(1062202));
}

TEST_F(SystemTest, NoForegroundWindowFallsBackToTheShellWindow)
{
    m_desktop.startProcess(4, program(L"shell.exe"));
    const native::Window shell = m_desktop.openWindow(4, L"Program Manager");
    m_desktop.setShell(shell);
    SystemProbe system(m_desktop, m_clock);
    ASSERT_NE(nullptr, system.getActiveWindow());
    EXPECT_EQ(shell, system.getActiveWindow()->getHWND());
}

TEST_F(SystemTest, NewForegroundWindowIsAddedBetweenRefreshes)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    SystemProbe system(m_desktop, m_clock);
    EXPECT_EQ(nullptr, system.getActiveWindow());
    const native::Window a = m_desktop.openWindow(100, L"A");
    m_desktop.setForeground(a);
    const TopLevelWindow* active = system.getActiveWindow();
    ASSERT_NE(nullptr, active);
    EXPECT_EQ(a, active->getHWND());
    EXPECT_EQ(1u, system.getWindowCount());
    const Application* application = system.getActiveApplication();
    ASSERT_NE(nullptr, application);
    EXPECT_EQ(m_folder.file(L"writer.exe"), application->getFileName().getFullPath());
}

TEST_F(SystemTest, ForegroundWindowThatCannotBeRecordedFallsBackToTheShellWindow)
{
    m_desktop.startProcess(4, program(L"shell.exe"));
    const native::Window shell = m_desktop.openWindow(4, L"Program Manager");
    m_desktop.setShell(shell);
    const native::Window orphan = m_desktop.openWindow(999, L"process unknown");
    m_desktop.setForeground(orphan);
    SystemProbe system(m_desktop, m_clock);
    ASSERT_NE(nullptr, system.getActiveWindow());
    EXPECT_EQ(shell, system.getActiveWindow()->getHWND());
    EXPECT_EQ(nullptr, system.findWindow(orphan));
}

TEST_F(SystemTest, ProcessEndingBetweenEnumerationAndLookUpDoesNotStopTheRefresh)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    m_desktop.startProcess(200, program(L"mailer.exe"));
    m_desktop.startProcess(300, program(L"viewer.exe"));
    SystemProbe system(m_desktop, m_clock);
    const native::Window first = m_desktop.openWindow(100, L"first");
    const native::Window second = m_desktop.openWindow(200, L"second");
    const native::Window third = m_desktop.openWindow(300, L"third");
    // The window stays listed but its process can no longer be opened.
    m_desktop.afterNextEnumeration([this] {
        m_desktop.setModuleLookup(100, Desktop::PathLookup::OpenFailed, 87);
        m_desktop.setImageLookup(100, Desktop::PathLookup::OpenFailed, 87);
    });
    m_events.clear();
    system.refresh();
    EXPECT_EQ(nullptr, system.findWindow(first));
    EXPECT_NE(nullptr, system.findWindow(second));
    EXPECT_NE(nullptr, system.findWindow(third));
    const testsupport::CapturedEvent skipped = m_events.find(1062202);
    EXPECT_EQ(1062402, skipped.exceptionId);
    EXPECT_EQ(1u, m_events.count(1062404));
    EXPECT_EQ(1u, m_events.count(1062409));

    // A window that has gone altogether has no process at all.
    const native::Window fourth = m_desktop.openWindow(200, L"fourth");
    m_desktop.afterNextEnumeration([this] { m_desktop.endProcess(200); });
    m_events.clear();
    system.refresh();
    EXPECT_EQ(nullptr, system.findWindow(fourth));
    EXPECT_NE(nullptr, system.findWindow(third));
    EXPECT_EQ(nullptr, system.findWindow(second));
}

TEST_F(SystemTest, WindowWithoutProcessIsLeftOutWithItsEvent)
{
    SystemProbe system(m_desktop, m_clock);
    const native::Window stray = m_desktop.openWindow(300, L"stray");
    m_desktop.afterNextEnumeration([this, stray] { m_desktop.closeWindow(stray); });
    m_events.clear();
    // Closed after listing: its style reads 0, so it is skipped silently.
    system.refresh();
    EXPECT_EQ(0u, system.getWindowCount());
    // Foreground with no process behind it: pid look-up fails.
    const native::Window ghost = reinterpret_cast<native::Window>(static_cast<uintptr_t>(0x7770));
    m_desktop.setForeground(ghost);
    EXPECT_EQ(nullptr, system.getActiveWindow());
    const testsupport::CapturedEvent skipped = m_events.find(1062202);
    EXPECT_EQ(1062401, skipped.exceptionId);
}

TEST_F(SystemTest, ProcessThatRefusesTheFirstWayIsReadTheSecondWay)
{
    const std::wstring writer = program(L"writer.exe");
    m_desktop.startProcess(100, writer);
    m_desktop.setModuleLookup(100, Desktop::PathLookup::OpenDenied,
                              ScriptedDesktop::ErrorAccessDenied);
    const native::Window a = m_desktop.openWindow(100, L"A");
    SystemProbe system(m_desktop, m_clock);
    ASSERT_NE(nullptr, system.findWindow(a));
    EXPECT_EQ(writer, system.findWindow(a)->getExeFileName());
    const testsupport::CapturedEvent denied = m_events.find(1062403);
    EXPECT_NE(std::wstring::npos, denied.details.find(L"ProcessID: 100"));
    EXPECT_NE(std::wstring::npos, denied.details.find(L"System Error ID: 5"));
    EXPECT_EQ(0u, m_events.count(1062402));
}

TEST_F(SystemTest, EveryFailureOfTheSecondWayHasItsOwnEvent)
{
    struct Case {
        Desktop::PathLookup status;
        uint32_t event;
    };
    const Case cases[] = {{Desktop::PathLookup::NoLibrary, 1062406},
                          {Desktop::PathLookup::NoFunction, 1062407},
                          {Desktop::PathLookup::OpenDenied, 1062408},
                          {Desktop::PathLookup::OpenFailed, 1062409},
                          {Desktop::PathLookup::ReadFailed, 1062410}};
    SystemProbe system(m_desktop, m_clock);
    uint32_t pid = 500;
    for (const Case& c : cases) {
        m_desktop.startProcess(pid, program(L"p" + std::to_wstring(pid) + L".exe"));
        m_desktop.setModuleLookup(pid, Desktop::PathLookup::ReadFailed, 299);
        m_desktop.setImageLookup(pid, c.status, 31);
        const native::Window w = m_desktop.openWindow(pid, L"w");
        m_events.clear();
        system.refresh();
        EXPECT_EQ(nullptr, system.findWindow(w));
        EXPECT_EQ(1u, m_events.count(1062405));
        EXPECT_EQ(1u, m_events.count(c.event)) << c.event;
        // Still visible, it would be tried again at every refresh.
        m_desktop.closeWindow(w);
        ++pid;
    }
}

TEST_F(SystemTest, LongExecutablePathIsKeptWhole)
{
    // Beyond the 260 characters a fixed buffer would hold.
    const std::wstring path = m_folder.file(std::wstring(300, L'x') + L".exe");
    m_desktop.startProcess(100, path);
    const native::Window a = m_desktop.openWindow(100, L"A");
    SystemProbe system(m_desktop, m_clock);
    ASSERT_NE(nullptr, system.findWindow(a));
    EXPECT_EQ(path, system.findWindow(a)->getExeFileName());
    EXPECT_TRUE(system.exists(path.c_str()));
}

TEST_F(SystemTest, ApplicationIdsByPath)
{
    const std::wstring writer = program(L"writer.exe");
    SystemProbe system(m_desktop, m_clock);
    const std::wstring unknown = m_folder.file(L"none.exe");
    EXPECT_EQ(-1, system.getApplicationID(unknown.c_str()));
    try {
        system.setApplicationID(unknown.c_str(), 7);
        FAIL() << "no exception";
    } catch (const MonitoringException& e) {
        EXPECT_EQ(1062203, e.getExceptionID());
        EXPECT_EQ(3, e.getExceptionType());
        EXPECT_NE(std::wstring::npos, e.getDescription().find(unknown));
    }
    system.addApplication(writer.c_str(), 12);
    EXPECT_EQ(12, system.getApplicationID(writer.c_str()));
    system.addApplication(writer.c_str(), 99); // an existing record stays
    EXPECT_EQ(12, system.getApplicationID(writer.c_str()));
    system.setApplicationID(writer.c_str(), 44);
    EXPECT_EQ(44, system.getApplicationID(writer.c_str()));
}

// The transport's worker thread looks up and adds executables while the
// framework thread records windows and sets ids (ThreadSanitizer watches
// this in its build).
TEST_F(SystemTest, ApplicationTableTakesTheTransportThreadAlongsideTheFramework)
{
    const int count = 40;
    std::vector<std::wstring> mine, theirs;
    for (int i = 0; i < count; ++i) {
        mine.push_back(program(L"mine" + std::to_wstring(i) + L".exe"));
        theirs.push_back(program(L"theirs" + std::to_wstring(i) + L".exe"));
    }
    SystemProbe system(m_desktop, m_clock);
    std::thread worker([&] {
        for (int i = 0; i < count; ++i) {
            if (!system.exists(theirs[i].c_str()))
                system.addApplication(theirs[i].c_str(), -1);
            system.getApplicationID(mine[count - 1 - i].c_str());
        }
    });
    for (int i = 0; i < count; ++i) {
        system.addApplication(mine[i].c_str(), i);
        if (system.exists(theirs[i].c_str()))
            system.setApplicationID(theirs[i].c_str(), 1000 + i);
    }
    worker.join();
    EXPECT_EQ(static_cast<size_t>(2 * count), system.getApplicationCount());
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(i, system.getApplicationID(mine[i].c_str()));
        const int id = system.getApplicationID(theirs[i].c_str());
        EXPECT_TRUE(id == -1 || id == 1000 + i) << id;
    }
}

TEST_F(SystemTest, ExecutableOfAnotherTypeGetsARecordWithoutData)
{
    const std::wstring script = program(L"tool.cmd", "@echo off");
    SystemProbe system(m_desktop, m_clock);
    m_events.clear();
    system.addApplication(script.c_str(), 5);
    const Application* application = system.findApplication(script.c_str());
    ASSERT_NE(nullptr, application);
    EXPECT_EQ(5, application->getID());
    EXPECT_EQ(0, application->getHash()->getSize());
    EXPECT_EQ(0, application->getLastModifiedTime());
    EXPECT_STREQ(L"", application->getVersionInfo().getOriginalFilename());
    EXPECT_TRUE(application->getIcon().getLibraryPath().empty());
    EXPECT_EQ(1061902, m_events.find(1061903).exceptionId);
}

TEST_F(SystemTest, MissingExecutableGetsARecordWithoutData)
{
    SystemProbe system(m_desktop, m_clock);
    const std::wstring gone = m_folder.file(L"gone.exe");
    system.addApplication(gone.c_str(), -1);
    ASSERT_TRUE(system.exists(gone.c_str()));
    EXPECT_EQ(1061901, m_events.find(1061903).exceptionId);
}

TEST_F(SystemTest, ApplicationDataReadsTimeAndHashBeforeTheResources)
{
    const std::wstring writer = program(L"writer.exe", "not really a program");
    SystemProbe system(m_desktop, m_clock);
    system.addApplication(writer.c_str(), -1);
    const Application* application = system.findApplication(writer.c_str());
    ASSERT_NE(nullptr, application);
    EXPECT_GT(application->getLastModifiedTime(), 0);
    // SHA-1 as Base64 text.
    EXPECT_EQ(28, application->getHash()->getSize());
}

TEST_F(SystemTest, ActiveWindowWithoutApplicationRecordThrows)
{
    const std::wstring writer = program(L"writer.exe");
    m_desktop.startProcess(100, writer);
    m_desktop.setForeground(m_desktop.openWindow(100, L"A"));
    SystemProbe system(m_desktop, m_clock);
    system.forgetApplication(writer);
    try {
        system.getActiveApplication();
        FAIL() << "no exception";
    } catch (const MonitoringException& e) {
        EXPECT_EQ(1062201, e.getExceptionID());
        EXPECT_NE(std::wstring::npos, e.getDescription().find(writer));
    }
}

TEST_F(SystemTest, DumpListsWindowsWithTheirApplications)
{
    m_desktop.startProcess(100, program(L"writer.exe"));
    m_desktop.openWindow(100, L"A");
    SystemProbe system(m_desktop, m_clock);
    std::wostringstream out;
    out << system;
    const std::wstring text = out.str();
    EXPECT_EQ(
        0u, text.find(L"System:    Window:\n        HWND:      0x10010\n        Proc ID:   100\n"));
    EXPECT_NE(std::wstring::npos,
              text.find(L"        Filename:  " + m_folder.file(L"writer.exe") + L"\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"    Application\n        Name:      "));
    EXPECT_NE(std::wstring::npos, text.find(L"\n        Comp Name: "));
}

} // namespace
