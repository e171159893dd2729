#include <gtest/gtest.h>

#include "base/Msg.h"
#include "client/GUIStatusUpdateService.h"
#include "client/win32/CAboutDlg.h"
#include "client/win32/CXHyperLink.h"
#include "client/win32/ClientMessages.h"
#include "client/win32/ClientResources.h"
#include "shared/server/ClientProfile.h"
#include "shared/server/SecurityDevice.h"
#include "win32/ClientWindowFixture.h"

namespace clienttest {
namespace {

using Status = TavelinSessionDetails::ConnectionStatus;

class TrayAndLinksTest : public ClientWindowTest {
protected:
    void connected()
    {
        client.session().setUserName(L"ann");
        client.session().setUserID(7);
        client.session().setUserPasswordHash(SecurityDevice::computePasswordHash(L"pw"));
        client.connect(Status::Connected);
        update(1);
    }
    std::vector<std::pair<int, std::wstring>> menuEntries()
    {
        std::vector<std::pair<int, std::wstring>> out;
        HMENU popup = window->tray().popup();
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            wchar_t text[64] = L"";
            GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            out.emplace_back(static_cast<int>(GetMenuItemID(popup, i)), text);
        }
        return out;
    }
    std::wstring param(const std::wstring& url, const std::wstring& name)
    {
        size_t at = url.find(L"&" + name + L"=");
        if (at == std::wstring::npos)
            return std::wstring();
        size_t start = at + name.size() + 2;
        return url.substr(start, url.find(L'&', start) - start);
    }
};

TEST_F(TrayAndLinksTest, TrayStatesChangeIconAndMenu)
{
    open();
    EXPECT_EQ(0, window->trayState());
    EXPECT_EQ(148, window->tray().menuId());
    auto signedOut = menuEntries();
    ASSERT_EQ(4u, signedOut.size());
    EXPECT_EQ(std::make_pair(ID_TRAY_LOGON, std::wstring(L"&Log On")), signedOut[0]);
    EXPECT_EQ(0, signedOut[1].first); // separator
    EXPECT_EQ(std::make_pair(ID_TRAY_CHECK_UPDATES, std::wstring(L"Check for &Updates...")),
              signedOut[2]);
    EXPECT_EQ(std::make_pair(ID_TRAY_ABOUT, std::wstring(L"&About Ondrivex...")), signedOut[3]);

    connected();
    EXPECT_EQ(1, window->trayState());
    EXPECT_EQ(149, window->tray().menuId());
    auto signedIn = menuEntries();
    ASSERT_EQ(5u, signedIn.size());
    EXPECT_EQ(std::make_pair(ID_TRAY_SHOW_REPORTS, std::wstring(L"&Show Reports")), signedIn[0]);

    client.system.getUserStatus().idle(true);
    update(0);
    EXPECT_EQ(2, window->trayState());
    client.system.getUserStatus().atMeeting(true, L"m");
    update(0);
    EXPECT_EQ(4, window->trayState());

    client.session().getClientProfile().setAttributeValue(ClientProfile::HideClientGUI, 1);
    update(2);
    EXPECT_EQ(3, window->trayState());
    if (window->tray().isAdded())
        EXPECT_TRUE(window->tray().isHidden());
}

TEST_F(TrayAndLinksTest, CheckForUpdatesComparesVersionsAsText)
{
    open();
    client.serverVersion = L"2.10";
    SendMessageW(window->hwnd(), WM_COMMAND, ID_TRAY_CHECK_UPDATES, 0);
    ASSERT_EQ(1u, window->boxes.size());
    EXPECT_EQ(L"No updates are available.", window->boxes[0]);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), window->boxFlags[0]);

    client.serverVersion = L"2.8";
    window->answer = IDYES;
    SendMessageW(window->hwnd(), WM_COMMAND, ID_TRAY_CHECK_UPDATES, 0);
    ASSERT_EQ(2u, window->boxes.size());
    EXPECT_EQ(L"Version 2.8 is available for download.  Would you like to download?",
              window->boxes[1]);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), window->boxFlags[1]);
    ASSERT_EQ(1u, opened.size());
    EXPECT_EQ(client.versionUrl, opened[0].first);

    window->answer = IDNO;
    SendMessageW(window->hwnd(), WM_COMMAND, ID_TRAY_CHECK_UPDATES, 0);
    EXPECT_EQ(1u, opened.size());
}

TEST_F(TrayAndLinksTest, ShowReportsOpensASignedLinkUnlessLinksAreHidden)
{
    open();
    connected();
    SendMessageW(window->hwnd(), WM_COMMAND, ID_TRAY_SHOW_REPORTS, 0);
    ASSERT_EQ(1u, opened.size());
    EXPECT_EQ(0u, opened[0].first.find(L"http://reports.test/Security/AutoLogin.aspx?uid=7&dt="));
    EXPECT_EQ(SW_SHOW, opened[0].second);
    client.session().getClientProfile().setAttributeValue(ClientProfile::HideClientReportLinks, 1);
    SendMessageW(window->hwnd(), WM_COMMAND, ID_TRAY_SHOW_REPORTS, 0);
    EXPECT_EQ(1u, opened.size());
}

TEST_F(TrayAndLinksTest, TheReportsLinkCarriesAFreshSignatureOnEveryClick)
{
    open();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window->hwnd(), IDC_REPORTS_LINK)));
    connected();
    HWND link = GetDlgItem(window->hwnd(), IDC_REPORTS_LINK);
    EXPECT_TRUE(IsWindowVisible(link));
    EXPECT_EQ(L"View my reports", textOf(link));
    SendMessageW(window->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_REPORTS_LINK, STN_CLICKED),
                 reinterpret_cast<LPARAM>(link));
    SendMessageW(window->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_REPORTS_LINK, STN_CLICKED),
                 reinterpret_cast<LPARAM>(link));
    ASSERT_EQ(2u, opened.size());
    EXPECT_NE(std::wstring::npos, opened[0].first.find(L"Security/AutoLogin.aspx?uid=7"));
    EXPECT_NE(param(opened[0].first, L"unid"), param(opened[1].first, L"unid"));
    screenshot(window->hwnd(), L"status-window-connected");
}

TEST_F(TrayAndLinksTest, AboutShowsTheWindowThenTheBox)
{
    open(false);
    SendMessageW(window->hwnd(), WM_COMMAND, ID_TRAY_ABOUT, 0);
    EXPECT_EQ(1, window->aboutShown);
    EXPECT_TRUE(IsWindowVisible(window->hwnd()));
    SendMessageW(window->hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_EQ(2, window->aboutShown);
}

TEST_F(TrayAndLinksTest, TheAboutBoxNamesTheVersion)
{
    CAboutDlg about(L"2.7.1");
    ASSERT_TRUE(about.create(nullptr));
    ShowWindow(about.hwnd(), SW_SHOW);
    pump();
    EXPECT_EQ(L"About Ondrivex", textOf(about.hwnd()));
    EXPECT_EQ(L"Ondrivex Version 2.7.1", about.itemText(IDC_ABOUT_VERSION));
    screenshot(about.hwnd(), L"about-box");
}

TEST_F(TrayAndLinksTest, TheLogOnEntrySignsInAnotherUserOrOpensSignIn)
{
    open(false);
    SendMessageW(window->hwnd(), WM_COMMAND, ID_TRAY_LOGON, 0);
    EXPECT_EQ(1, window->currentViewNumber());
    EXPECT_FALSE(window->switchUserFlag());
    EXPECT_TRUE(IsWindowVisible(window->hwnd()));
}

TEST_F(TrayAndLinksTest, ARestartedShellGetsTheIconBack)
{
    open();
    if (!window->tray().isAdded())
        GTEST_SKIP() << "the display has no notification area to hold the icon";
    int before = window->tray().addCount();
    // Wine's notification area answers within a time limit; a busy one may
    // refuse an add now and then, which the next broadcast repairs.
    for (int attempt = 0; attempt < 3 && window->tray().addCount() == before; ++attempt)
        SendMessageW(window->hwnd(), ClientMessages::taskbarCreated(), 0, 0);
    EXPECT_GT(window->tray().addCount(), before);
    EXPECT_TRUE(window->tray().isAdded());
    SendMessageW(window->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(window->tray().isAdded());
}

TEST_F(TrayAndLinksTest, TheMessageOfTheDayIsShownOnceAndRemembered)
{
    client.motd = L"Timesheets are due Friday";
    open();
    connected();
    EXPECT_EQ(L"Timesheets are due Friday", settings.read(L"MOTD", L""));
    client.motd = L"Another";
    update(1);
    EXPECT_EQ(L"Timesheets are due Friday", settings.read(L"MOTD", L""));
}

TEST_F(TrayAndLinksTest, TheStatusServiceReachesTheRealWindow)
{
    open();
    GUIStatusUpdateService service(client.system);
    service.setStatusWindow(window->hwnd());
    client.session().setUserName(L"ann");
    client.connect(Status::Connected);
    Msg change;
    change.setType(Msg::CONNECTION_STATUS_CHANGE);
    EXPECT_TRUE(service.processMsg(change));
    EXPECT_EQ(L"Connected", textOf(GetDlgItem(window->hwnd(), IDC_STATUS_TEXT)));
    EXPECT_EQ(7, window->currentViewNumber());
    // A window that is gone is not written to.
    HWND gone = window->hwnd();
    window.reset();
    service.setStatusWindow(gone);
    EXPECT_TRUE(service.processMsg(change));
}

TEST(TrayStructureTest, TheShellGenerationsTakeTheirOwnSizes)
{
    if (sizeof(void*) != 4)
        GTEST_SKIP() << "the figures are those of the 32-bit layout";
    EXPECT_EQ(152u, CTrayNotifyIcon::structureSize(4));
    EXPECT_EQ(936u, CTrayNotifyIcon::structureSize(5));
    EXPECT_EQ(952u, CTrayNotifyIcon::structureSize(6));
    EXPECT_EQ(952u, CTrayNotifyIcon::structureSize(10));
}

TEST(HyperLinkFallbackTest, TheHtmCommandIsCutAtItsPlaceholder)
{
    EXPECT_EQ(L"\"C:\\b.exe\"  http://x/",
              CXHyperLink::fallbackCommand(L"\"C:\\b.exe\" \"%1\"", L"http://x/"));
    EXPECT_EQ(L"b.exe -nohome  http://x/",
              CXHyperLink::fallbackCommand(L"b.exe -nohome %1", L"http://x/"));
    EXPECT_EQ(L"b.exe http://x/", CXHyperLink::fallbackCommand(L"b.exe", L"http://x/"));
}

} // namespace
} // namespace clienttest
