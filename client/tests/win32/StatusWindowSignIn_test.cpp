#include <gtest/gtest.h>

#include "client/StatusRules.h"
#include "client/win32/ClientResources.h"
#include "win32/StatusWindowFixture.h"

namespace clienttest {
namespace {

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

    signIn(2, L"ann", L"secret");
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

TEST_F(StatusWindowTest, AWindowWithoutAViewShowsSignInWhenTheLogOnProcessFails)
{
    client.connect(Status::ConnectionError, Error::ConnectFailed);
    open();
    ASSERT_EQ(0, window->currentViewNumber());
    client.connect(Status::ConnectionError, Error::LogOnProcessFailed);
    update(1);
    EXPECT_EQ(2, window->currentViewNumber());
    EXPECT_TRUE(IsWindowVisible(view(2).hwnd()));
    EXPECT_EQ(L"Log on process failed", textOf(header(IDC_STATUS_TEXT)));
}

TEST_F(StatusWindowTest, AWindowWithoutAViewShowsTheStatesOnceConnected)
{
    client.connect(Status::ConnectionError, Error::ConnectFailed);
    open();
    ASSERT_EQ(0, window->currentViewNumber());
    connected();
    EXPECT_EQ(7, window->currentViewNumber());
    EXPECT_TRUE(IsWindowVisible(view(7).hwnd()));
    for (int n = 1; n <= 10; ++n)
        if (n != 7)
            EXPECT_FALSE(IsWindowVisible(view(n).hwnd())) << n;
}

TEST_F(StatusWindowTest, SignInAsksForAMissingNameOrPasswordAndSendsNothing)
{
    open();
    signIn(1, L"", L"");
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
    signIn(1, L"bob", L"pw");
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
    signIn(2, L"bob", L"wrong");
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
    signIn(1, L"bob", L"wrong");
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

} // namespace
} // namespace clienttest
