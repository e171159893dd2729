#include <gtest/gtest.h>

#include <cstdlib>

#include "base/Event.h"
#include "client/StatusRules.h"
#include "client/WindowPlacementStore.h"
#include "client/win32/ClientMessages.h"
#include "client/win32/ClientResources.h"
#include "win32/StatusWindowFixture.h"

namespace clienttest {
namespace {

TEST_F(StatusWindowTest, TheTenViewsAreMadeFromTheirTemplates)
{
    open();
    for (int n = 1; n <= 10; ++n) {
        ASSERT_NE(nullptr, window->view(n)) << n;
        EXPECT_TRUE(IsChild(window->hwnd(), view(n).hwnd())) << n;
    }
    EXPECT_EQ(IDD_SIGNIN, view(1).templateId());
    EXPECT_EQ(IDD_SIGNIN, view(2).templateId());
    EXPECT_EQ(IDD_CURRENT_STATUS, view(3).templateId());
    EXPECT_EQ(IDD_STATUS_TIMED, view(4).templateId());
    EXPECT_EQ(IDD_CHANGE_STATUS, view(7).templateId());
    EXPECT_EQ(IDD_TIME_OPTIONS, view(10).templateId());
    EXPECT_EQ(L"Ondrivex", textOf(window->hwnd()));
    EXPECT_EQ(client.statusWindow, window->hwnd());
    // The frame's placeholder is hidden; the views sit where it was.
    EXPECT_FALSE(IsWindowVisible(header(IDC_PLACEHOLDER)));
}

TEST_F(StatusWindowTest, ThePlacementIsSavedAndAnotherSizeIsIgnored)
{
    open();
    RECT r;
    GetWindowRect(window->hwnd(), &r);
    MoveWindow(window->hwnd(), 17, 23, r.right - r.left, r.bottom - r.top, TRUE);
    SendMessageW(window->hwnd(), WM_COMMAND, IDC_HIDE, 0);
    pump();
    EXPECT_FALSE(IsWindowVisible(window->hwnd()));
    EXPECT_EQ(1, settings.read(L"WindowState", 0));
    EXPECT_EQ(44, settings.read(L"WindowPlacement", ByteArray()).getSize());
    window.reset();

    open();
    RECT again;
    GetWindowRect(window->hwnd(), &again);
    EXPECT_EQ(17, again.left);
    EXPECT_EQ(23, again.top);
    // Left in the tray as it was.
    EXPECT_FALSE(IsWindowVisible(window->hwnd()));
    window.reset();

    // A record from a window of another size: centred and shown instead.
    ByteArray stored = settings.read(L"WindowPlacement", ByteArray());
    int32_t* numbers = reinterpret_cast<int32_t*>(stored.getData());
    numbers[9] += 40; // the normal rectangle's right edge
    settings.write(L"WindowPlacement", stored);
    settings.write(L"WindowState", 0);
    open();
    GetWindowRect(window->hwnd(), &again);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NE(17, again.left);
    EXPECT_LE(std::abs((again.left + again.right) / 2 - (work.left + work.right) / 2), 1);
    EXPECT_TRUE(IsWindowVisible(window->hwnd()));
}

TEST_F(StatusWindowTest, ClosingFromTheSystemMenuHidesToTheTray)
{
    open();
    SendMessageW(window->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    pump();
    EXPECT_FALSE(IsWindowVisible(window->hwnd()));
    EXPECT_FALSE(window->hasEnded());
    // The tray's double-click brings it back, and hides it again.
    SendMessageW(window->hwnd(), ClientMessages::trayNotify(), CTrayNotifyIcon::IconId,
                 WM_LBUTTONDBLCLK);
    pump();
    EXPECT_TRUE(IsWindowVisible(window->hwnd()));
    SendMessageW(window->hwnd(), ClientMessages::trayNotify(), CTrayNotifyIcon::IconId,
                 WM_LBUTTONDBLCLK);
    EXPECT_FALSE(IsWindowVisible(window->hwnd()));
    SendMessageW(window->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(window->hasEnded());
    EXPECT_EQ(nullptr, client.statusWindow);
}

TEST_F(StatusWindowTest, ARightClickTogglesTheLogWindowWhichShowsTracedLines)
{
    open();
    Event e(1190999, L"a traced line", TC_AT(L"Test::line"));
    client.log.Write(e);
    window->logWindow().drain();
    EXPECT_NE(std::wstring::npos, window->logWindow().text().find(L"a traced line"));
    EXPECT_FALSE(IsWindowVisible(window->logWindow().hwnd()));
    SendMessageW(window->hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(IsWindowVisible(window->logWindow().hwnd()));
    EXPECT_EQ(L"Ondrivex Log", textOf(window->logWindow().hwnd()));
    screenshot(window->logWindow().hwnd(), L"log-window");
    SendMessageW(window->hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(IsWindowVisible(window->logWindow().hwnd()));
}

TEST_F(StatusWindowTest, TheLogWindowEmptiesItselfBeforeItOverflows)
{
    open();
    HWND edit = GetDlgItem(window->logWindow().hwnd(), IDC_LOG_EDIT);
    SendMessageW(edit, EM_SETLIMITTEXT, 1100, 0);
    for (int i = 0; i < 3; ++i) {
        Event e(1190900 + i, std::wstring(40, L'a' + i), TC_AT(L"Test::fill"));
        client.log.Write(e);
    }
    window->logWindow().drain();
    std::wstring text = window->logWindow().text();
    // Past the limit less 1000 characters the text starts afresh.
    EXPECT_EQ(std::wstring::npos, text.find(L"aaaa"));
    EXPECT_NE(std::wstring::npos, text.find(L"cccc"));
    // A double-click clears it.
    SendMessageW(edit, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
    EXPECT_EQ(L"", window->logWindow().text());
}

} // namespace
} // namespace clienttest
