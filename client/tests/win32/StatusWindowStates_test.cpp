#include <gtest/gtest.h>

#include "client/StatusRules.h"
#include "client/win32/CDlgChildCurrentStatusTimed.h"
#include "client/win32/CDlgChildTimeOptions.h"
#include "client/win32/ClientResources.h"
#include "shared/server/ClientProfile.h"
#include "win32/StatusWindowFixture.h"

namespace clienttest {
namespace {

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

} // namespace
} // namespace clienttest
