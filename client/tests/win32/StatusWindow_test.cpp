#include <gtest/gtest.h>

#include "client/StatusRules.h"
#include "client/WindowPlacementStore.h"
#include "client/win32/CDlgChildCurrentStatusTimed.h"
#include "client/win32/CDlgChildTimeOptions.h"
#include "client/win32/ClientResources.h"
#include "shared/server/ClientProfile.h"
#include "win32/ClientWindowFixture.h"
#include "base/Event.h"
#include "client/win32/ClientMessages.h"
#include <cstdlib>

namespace clienttest {
namespace {

using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;

class StatusWindowTest : public ClientWindowTest {
protected:
    HWND header(int id) { return GetDlgItem(window->hwnd(), id); }
    // Signs in as the fake's user and lets the connection report it.
    void connected(const std::wstring& user = L"ann")
    {
        client.session().setUserName(user);
        client.session().setUserPassword(L"pw");
        client.session().setUserID(7);
        client.connect(Status::Connected);
        update(1);
    }
    int selectedIndex(HWND combo)
    {
        return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    }
    std::wstring entry(HWND combo, int index)
    {
        wchar_t text[64] = L"";
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(text));
        return text;
    }
    int entries(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)); }
    CDlgChildCurrentStatusTimed& timed(int number)
    {
        return static_cast<CDlgChildCurrentStatusTimed&>(view(number));
    }
};

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

TEST_F(StatusWindowTest, AFreshStartShowsSignInWithoutCancel)
{
    open();
    EXPECT_EQ(1, window->currentViewNumber());
    EXPECT_TRUE(IsWindowVisible(view(1).hwnd()));
    EXPECT_FALSE(view(1).isItemVisible(IDC_CANCEL));
    EXPECT_TRUE(view(2).isItemVisible(IDC_CANCEL));
    screenshot(window->hwnd(), L"view1-sign-in");
}

TEST_F(StatusWindowTest, NoSavedSignInOpensViewTwoWithLogOnProcessFailedThenSignsIn)
{
    client.connect(Status::ConnectionError, Error::LogOnProcessFailed);
    open();
    EXPECT_EQ(2, window->currentViewNumber());
    EXPECT_EQ(L"Log on process failed", textOf(header(IDC_STATUS_TEXT)));
    screenshot(window->hwnd(), L"view2-no-saved-sign-in");

    SetWindowTextW(control(2, IDC_USERNAME), L"ann");
    SetWindowTextW(control(2, IDC_PASSWORD), L"secret");
    click(control(2, IDC_SIGNIN));
    ASSERT_EQ(1u, client.calls.size());
    EXPECT_EQ(L"logOn ann secret", client.calls[0]);
    EXPECT_EQ(L"ann", textOf(header(IDC_USER_LABEL)));

    connected();
    EXPECT_EQ(7, window->currentViewNumber());
    EXPECT_EQ(L"Connected", textOf(header(IDC_STATUS_TEXT)));
}

TEST_F(StatusWindowTest, AnyOtherConnectionErrorShowsNoViewYet)
{
    client.connect(Status::ConnectionError, Error::ConnectFailed);
    open();
    EXPECT_EQ(0, window->currentViewNumber());
    for (int n = 1; n <= 10; ++n)
        EXPECT_FALSE(IsWindowVisible(view(n).hwnd())) << n;
}

TEST_F(StatusWindowTest, SignInAsksForAMissingNameOrPasswordAndSendsNothing)
{
    open();
    SetWindowTextW(control(1, IDC_USERNAME), L"");
    SetWindowTextW(control(1, IDC_PASSWORD), L"");
    click(control(1, IDC_SIGNIN));
    SetWindowTextW(control(1, IDC_USERNAME), L"bob");
    click(control(1, IDC_SIGNIN));
    ASSERT_EQ(2u, window->boxes.size());
    EXPECT_EQ(L"Please enter your user username", window->boxes[0]);
    EXPECT_EQ(L"Please enter your user password", window->boxes[1]);
    EXPECT_TRUE(client.calls.empty());
    // Enter signs in as the button does.
    SetWindowTextW(control(1, IDC_PASSWORD), L"pw");
    SendMessageW(window->hwnd(), WM_COMMAND, IDOK, 0);
    ASSERT_EQ(1u, client.calls.size());
    EXPECT_EQ(L"logOn bob pw", client.calls[0]);
}

TEST_F(StatusWindowTest, SigningInEndsADeclaredStateFirst)
{
    open();
    client.system.getUserStatus().onPhone(true, L"x");
    SetWindowTextW(control(1, IDC_USERNAME), L"bob");
    SetWindowTextW(control(1, IDC_PASSWORD), L"pw");
    click(control(1, IDC_SIGNIN));
    ASSERT_EQ(2u, client.calls.size());
    EXPECT_EQ(L"stopPhoneCall", client.calls[0]);
    EXPECT_EQ(L"logOn bob pw", client.calls[1]);
}

TEST_F(StatusWindowTest, AWrongPasswordWhileSwitchingUsersLogsThePreviousUserBackOn)
{
    open();
    connected(L"ann");
    // The tray's "Log On" while connected switches users.
    SendMessageW(window->hwnd(), WM_COMMAND, ID_TRAY_LOGON, 0);
    pump();
    EXPECT_EQ(2, window->currentViewNumber());
    EXPECT_TRUE(window->switchUserFlag());
    SetWindowTextW(control(2, IDC_USERNAME), L"bob");
    SetWindowTextW(control(2, IDC_PASSWORD), L"wrong");
    click(control(2, IDC_SIGNIN));
    client.connect(Status::ConnectionError, Error::AuthenticationFailed);
    update(1);
    ASSERT_EQ(2u, client.calls.size());
    EXPECT_EQ(L"logOn bob wrong", client.calls[0]);
    EXPECT_EQ(L"logOn ann pw", client.calls[1]);
    ASSERT_EQ(1u, window->boxes.size());
    EXPECT_EQ(L"Incorrect username/password.  You will be logged back in as the original user.",
              window->boxes[0]);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), window->boxFlags[0]);
    // Should the previous user's own sign-in fail too, it is only reported.
    update(1);
    EXPECT_EQ(2u, client.calls.size());
    EXPECT_EQ(L"Incorrect username/password", textOf(header(IDC_STATUS_TEXT)));
}

TEST_F(StatusWindowTest, AWrongPasswordWithoutAPreviousUserIsOnlyReported)
{
    open();
    SetWindowTextW(control(1, IDC_USERNAME), L"bob");
    SetWindowTextW(control(1, IDC_PASSWORD), L"wrong");
    click(control(1, IDC_SIGNIN));
    client.connect(Status::ConnectionError, Error::AuthenticationFailed);
    update(1);
    EXPECT_EQ(1u, client.calls.size());
    EXPECT_TRUE(window->boxes.empty());
    EXPECT_EQ(L"Sign In", textOf(header(IDC_USER_LABEL)));
    EXPECT_EQ(L"Incorrect username/password", textOf(header(IDC_STATUS_TEXT)));
}

TEST_F(StatusWindowTest, HeaderFollowsTheConnection)
{
    open();
    client.session().setUserName(L"ann");
    client.connect(Status::Connecting);
    update(1);
    EXPECT_EQ(L"Connecting...", textOf(header(IDC_STATUS_TEXT)));
    EXPECT_EQ(L"ann", textOf(header(IDC_USER_LABEL)));
    // Controls are disabled while the connection is being made.
    EXPECT_FALSE(view(1).isItemEnabled(IDC_SIGNIN));
    client.connect(Status::ConnectionError, Error::ConnectTimedOut);
    update(1);
    EXPECT_EQ(L"Reconnecting in 30 seconds", textOf(header(IDC_STATUS_TEXT)));
    EXPECT_TRUE(view(1).isItemEnabled(IDC_SIGNIN));
    client.reconnect = L"Reconnecting in 29 seconds";
    int before = client.pulses;
    SendMessageW(window->hwnd(), WM_TIMER, 0, 0);
    EXPECT_EQ(before + 1, client.pulses);
    EXPECT_EQ(L"Reconnecting in 29 seconds", textOf(header(IDC_STATUS_TEXT)));
    client.connect(Status::ConnectionError, Error::AccountSuspended);
    update(1);
    EXPECT_EQ(L"Account suspended", textOf(header(IDC_STATUS_TEXT)));
    EXPECT_EQ(L"Sign In", textOf(header(IDC_USER_LABEL)));
    client.connect(Status::NotConnected);
    update(1);
    EXPECT_EQ(L"Offline", textOf(header(IDC_STATUS_TEXT)));
    // The sign-in links are shown once the connection settled.
    EXPECT_TRUE(view(1).isItemVisible(IDC_FORGOT_LINK));
    EXPECT_TRUE(view(1).isItemVisible(IDC_REGISTER_LINK));
}

TEST_F(StatusWindowTest, AMeetingWithAFortyMinuteLimitRunsOutAndReturnsToChangeStatus)
{
    client.session().getClientProfile().setAttributeValue(ClientProfile::MaximumMeetingTimeSpan,
                                                          40);
    open();
    connected();
    screenshot(window->hwnd(), L"view7-change-status");
    click(control(7, IDC_MEETING));
    ASSERT_EQ(8, window->currentViewNumber());
    HWND duration = control(8, IDC_DURATION);
    ASSERT_EQ(4, entries(duration));
    EXPECT_EQ(L"5 minutes", entry(duration, 0));
    EXPECT_EQ(L"30 minutes", entry(duration, 3));
    EXPECT_EQ(3, selectedIndex(duration));
    SetWindowTextW(control(8, IDC_SUBJECT), L"Budget review");
    screenshot(window->hwnd(), L"view8-go-to-meeting");
    click(control(8, IDC_START));
    ASSERT_EQ(4, window->currentViewNumber());
    ASSERT_FALSE(client.calls.empty());
    EXPECT_EQ(L"atMeeting Budget review 1800", client.calls.back());
    EXPECT_EQ(L"00:30:00", timed(4).shownTime());
    EXPECT_EQ(L"Budget review", textOf(control(4, IDC_TIMED_TITLE)));
    EXPECT_EQ(L"30 minutes", textOf(control(4, IDC_TIMED_SECOND)));
    EXPECT_EQ(L"At a Meeting", textOf(control(4, IDC_TITLE_LABEL)));
    client.clock.advance(61);
    SendMessageW(view(4).hwnd(), WM_TIMER, 1, 0);
    EXPECT_EQ(L"00:28:59", timed(4).shownTime());
    screenshot(window->hwnd(), L"view4-at-meeting");
    client.clock.advance(4000);
    SendMessageW(view(4).hwnd(), WM_TIMER, 1, 0);
    EXPECT_EQ(L"00:00:00", timed(4).shownTime());
    // The presence side ends the meeting; the next system update follows it.
    client.system.getUserStatus().atMeeting(false);
    update(0);
    EXPECT_EQ(7, window->currentViewNumber());
}

TEST_F(StatusWindowTest, LongDurationsStartTheirSeconds)
{
    client.session().getClientProfile().setAttributeValue(ClientProfile::MaximumMeetingTimeSpan,
                                                          600);
    open();
    connected();
    click(control(7, IDC_MEETING));
    HWND duration = control(8, IDC_DURATION);
    ASSERT_EQ(16, entries(duration));
    EXPECT_EQ(L"1 hour", entry(duration, selectedIndex(duration)));
    auto& form = static_cast<CDlgChildTimeOptions&>(view(8));
    SendMessageW(duration, CB_SETCURSEL, 6, 0);
    EXPECT_EQ(L"1.5 hours", form.durationText());
    EXPECT_EQ(5400, form.durationSeconds());
    SendMessageW(duration, CB_SETCURSEL, 15, 0);
    EXPECT_EQ(36000, form.durationSeconds());
    SendMessageW(duration, CB_SETCURSEL, 4, 0);
    EXPECT_EQ(2700, form.durationSeconds());
    click(control(8, IDC_START));
    EXPECT_EQ(L"atMeeting  2700", client.calls.back());
}

TEST_F(StatusWindowTest, APhoneCallCountsUpAndFinishes)
{
    open();
    connected();
    click(control(7, IDC_PHONE));
    ASSERT_EQ(9, window->currentViewNumber());
    EXPECT_FALSE(view(9).isItemVisible(IDC_DURATION));
    EXPECT_EQ(L"Start Phone Call", textOf(control(9, IDC_TITLE_LABEL)));
    SetWindowTextW(control(9, IDC_SUBJECT), L"Supplier");
    screenshot(window->hwnd(), L"view9-go-to-phone");
    click(control(9, IDC_START));
    ASSERT_EQ(5, window->currentViewNumber());
    EXPECT_EQ(L"onPhoneCall Supplier", client.calls.back());
    EXPECT_EQ(L"On Phone Call", textOf(control(5, IDC_TIMED_TITLE)));
    EXPECT_EQ(L"Supplier", textOf(control(5, IDC_TIMED_SECOND)));
    client.clock.advance(75);
    SendMessageW(view(5).hwnd(), WM_TIMER, 1, 0);
    EXPECT_EQ(L"00:01:15", timed(5).shownTime());
    screenshot(window->hwnd(), L"view5-on-phone");
    click(control(5, IDC_BACK));
    EXPECT_EQ(L"stopPhoneCall", client.calls.back());
    EXPECT_EQ(7, window->currentViewNumber());
}

TEST_F(StatusWindowTest, PersonalTimeIsOfferedOnlyWhenTheProfileAllowsIt)
{
    open();
    connected();
    EXPECT_FALSE(view(7).isItemVisible(IDC_PRIVATE));
    client.session().getClientProfile().setAttributeValue(ClientProfile::EnablePrivateMode, 1);
    client.session().getClientProfile().setAttributeValue(ClientProfile::MaximumPrivateTimeSpan,
                                                          30);
    update(2);
    EXPECT_TRUE(view(7).isItemVisible(IDC_PRIVATE));
    click(control(7, IDC_PRIVATE));
    ASSERT_EQ(10, window->currentViewNumber());
    EXPECT_FALSE(view(10).isItemVisible(IDC_SUBJECT));
    EXPECT_EQ(L"5 minutes",
              entry(control(10, IDC_DURATION), selectedIndex(control(10, IDC_DURATION))));
    EXPECT_EQ(L"Start Personal Time", textOf(control(10, IDC_TITLE_LABEL)));
    screenshot(window->hwnd(), L"view10-go-to-personal-time");
    click(control(10, IDC_START));
    ASSERT_EQ(6, window->currentViewNumber());
    EXPECT_EQ(L"enablePrivacy 300", client.calls.back());
    EXPECT_EQ(L"Personal Time", textOf(control(6, IDC_TIMED_TITLE)));
    EXPECT_EQ(L"00:05:00", timed(6).shownTime());
    screenshot(window->hwnd(), L"view6-personal-time");
    // Cancel on a "go to" view leads back to the state going on.
    click(control(6, IDC_BACK));
    EXPECT_EQ(L"stopPrivacy", client.calls.back());
    EXPECT_EQ(7, window->currentViewNumber());
}

TEST_F(StatusWindowTest, CancelLeadsBackToTheStateGoingOn)
{
    open();
    click(control(1, IDC_CANCEL)); // hidden in view 1, nothing to cancel to
    connected();
    client.system.getUserStatus().onPhone(true, L"x");
    window->showView(8);
    click(control(8, IDC_CANCEL));
    EXPECT_EQ(5, window->currentViewNumber());
    client.system.getUserStatus().onPhone(false);
    window->showView(9);
    click(control(9, IDC_CANCEL));
    EXPECT_EQ(7, window->currentViewNumber());
    click(control(7, IDC_CURRENT_STATUS));
    EXPECT_EQ(3, window->currentViewNumber());
    screenshot(window->hwnd(), L"view3-current-activity");
    // Escape returns to the states.
    SendMessageW(window->hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(7, window->currentViewNumber());
    window->showView(11);
    EXPECT_EQ(11, window->currentViewNumber());
    for (int n = 1; n <= 10; ++n)
        EXPECT_FALSE(IsWindowVisible(view(n).hwnd())) << n;
}

TEST_F(StatusWindowTest, CurrentActivityWhenIdleSaysSo)
{
    open();
    connected();
    client.system.getUserStatus().idle(true);
    window->showView(3);
    SendMessageW(view(3).hwnd(), WM_TIMER, 1, 0);
    EXPECT_EQ(L"No current activity", textOf(control(3, IDC_APP_NAME)));
    EXPECT_EQ(L"", textOf(control(3, IDC_CONTEXT1)));
}

TEST_F(StatusWindowTest, TwoNewSubjectsAreKeptUnderConsecutiveNumbers)
{
    open();
    connected();
    click(control(7, IDC_MEETING));
    SetWindowTextW(control(8, IDC_SUBJECT), L"Review");
    click(control(8, IDC_CANCEL));
    click(control(7, IDC_MEETING));
    SendMessageW(control(8, IDC_SUBJECT), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(control(8, IDC_SUBJECT), L"Planning");
    click(control(8, IDC_CANCEL));
    Registry meetings(Registry::CurrentUser, key.path() + L"\\Meetings");
    EXPECT_EQ(L"Review", meetings.read(L"1", L""));
    EXPECT_EQ(L"Planning", meetings.read(L"2", L""));
    EXPECT_EQ(1, meetings.read(L"0", -1));
    EXPECT_EQ(2, static_cast<int>(SendMessageW(control(8, IDC_SUBJECT), CB_GETCOUNT, 0, 0)));
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

TEST_F(StatusWindowTest, AMeetingDeclaredElsewhereOpensTheMeetingView)
{
    open();
    connected();
    client.system.getUserStatus().atMeeting(true, L"Board");
    client.system.getUserStatus().duration(600);
    update(0);
    ASSERT_EQ(4, window->currentViewNumber());
    EXPECT_EQ(L"Board", textOf(control(4, IDC_TIMED_TITLE)));
    EXPECT_EQ(L"00:10:00", timed(4).shownTime());
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
