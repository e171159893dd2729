#include "client/StatusRules.h"

#include <gtest/gtest.h>

#include "shared/server/ClientProfile.h"
#include "shared/server/TavelinSessionDetails.h"
#include "shared/server/UserStatus.h"

namespace {

using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;

class StatusRulesTest : public ::testing::Test {
protected:
    void connect(Status status, Error error = Error::NotSet)
    {
        session.setConnectionStatus(status);
        session.setConnectionError(error);
    }
    void setProfile(const wchar_t* name, int value)
    {
        session.getClientProfile().setAttributeValue(name, value);
    }

    TavelinSessionDetails session;
    UserStatus status;
};

TEST_F(StatusRulesTest, ViewNamesFollowTheirNumbers)
{
    EXPECT_EQ(L"SIGNIN_VIEW", StatusRules::viewName(1));
    EXPECT_EQ(L"SWITCHUSER_VIEW", StatusRules::viewName(2));
    EXPECT_EQ(L"STATUS_VIEW", StatusRules::viewName(3));
    EXPECT_EQ(L"STATUS_MEETING_VIEW", StatusRules::viewName(4));
    EXPECT_EQ(L"STATUS_PHONE_VIEW", StatusRules::viewName(5));
    EXPECT_EQ(L"STATUS_PRIVACY_VIEW", StatusRules::viewName(6));
    EXPECT_EQ(L"CHANGE_STATUS_VIEW", StatusRules::viewName(7));
    EXPECT_EQ(L"GOTOMEETING_VIEW", StatusRules::viewName(8));
    EXPECT_EQ(L"GOTOPHONE_VIEW", StatusRules::viewName(9));
    EXPECT_EQ(L"GOTOPRIVACY_VIEW", StatusRules::viewName(10));
    EXPECT_EQ(L"", StatusRules::viewName(0));
    EXPECT_EQ(L"", StatusRules::viewName(11));
}

TEST_F(StatusRulesTest, NoSavedSignInOpensTheSwitchUserViewAndOtherErrorsNone)
{
    connect(Status::ConnectionError, Error::LogOnProcessFailed);
    EXPECT_EQ(2, StatusRules::firstView(session));
    connect(Status::ConnectionError, Error::ConnectFailed);
    EXPECT_EQ(0, StatusRules::firstView(session));
    connect(Status::Connecting);
    EXPECT_EQ(1, StatusRules::firstView(session));
}

TEST_F(StatusRulesTest, CancelGoesToSignInThenTheRunningStateInOrderThenChangeStatus)
{
    status.atMeeting(true);
    status.onPhone(true);
    status.setPrivate(true);
    EXPECT_EQ(1, StatusRules::cancelTarget(session, status));
    connect(Status::Connected);
    EXPECT_EQ(4, StatusRules::cancelTarget(session, status));
    status.atMeeting(false);
    EXPECT_EQ(5, StatusRules::cancelTarget(session, status));
    status.onPhone(false);
    EXPECT_EQ(6, StatusRules::cancelTarget(session, status));
    status.setPrivate(false);
    EXPECT_EQ(7, StatusRules::cancelTarget(session, status));
}

TEST_F(StatusRulesTest, ATimedViewWhoseStateEndedReturnsToChangeStatus)
{
    EXPECT_EQ(7, StatusRules::afterStateChange(4, status));
    EXPECT_EQ(7, StatusRules::afterStateChange(5, status));
    EXPECT_EQ(7, StatusRules::afterStateChange(6, status));
    EXPECT_EQ(3, StatusRules::afterStateChange(3, status));
    status.atMeeting(true);
    EXPECT_EQ(4, StatusRules::afterStateChange(4, status));
    // The meeting does not keep the phone view open.
    EXPECT_EQ(7, StatusRules::afterStateChange(5, status));
}

TEST_F(StatusRulesTest, HeaderTextsPerConnectionState)
{
    session.setUserName(L"ann");
    connect(Status::NotConnected);
    StatusRules::Header h = StatusRules::header(session);
    EXPECT_EQ(L"Sign In", h.userLabel);
    EXPECT_EQ(L"Offline", h.statusText);
    EXPECT_EQ(141, h.bitmap);

    connect(Status::Connecting);
    EXPECT_EQ(L"Connecting...", StatusRules::header(session).statusText);
    EXPECT_EQ(L"ann", StatusRules::header(session).userLabel);
    connect(Status::Authenticating);
    EXPECT_EQ(L"Authenticating...", StatusRules::header(session).statusText);
    connect(Status::ProxyWizardRunning);
    EXPECT_FALSE(StatusRules::header(session).changesStatus);

    connect(Status::Connected);
    h = StatusRules::header(session);
    EXPECT_EQ(L"Connected", h.statusText);
    EXPECT_EQ(144, h.bitmap);
    EXPECT_EQ(L"ann", h.userLabel);

    connect(Status::ConnectionError, Error::ConnectTimedOut);
    EXPECT_TRUE(StatusRules::header(session).reconnectText);
    connect(Status::ConnectionError, Error::SecureSessionFailed);
    EXPECT_TRUE(StatusRules::header(session).reconnectText);
    connect(Status::ConnectionError, Error::LogOnProcessFailed);
    EXPECT_EQ(L"Log on process failed", StatusRules::header(session).statusText);
    EXPECT_EQ(L"ann", StatusRules::header(session).userLabel);

    connect(Status::ConnectionError, Error::AuthenticationFailed);
    h = StatusRules::header(session);
    EXPECT_EQ(L"Sign In", h.userLabel);
    EXPECT_EQ(L"Incorrect username/password", h.statusText);
    EXPECT_TRUE(h.retryPreviousUser);
    connect(Status::ConnectionError, Error::ClientAppTooOld);
    EXPECT_EQ(L"Software upgrade required", StatusRules::header(session).statusText);
    connect(Status::ConnectionError, Error::AccountSuspended);
    EXPECT_EQ(L"Account suspended", StatusRules::header(session).statusText);

    session.setInAutoEnrollMode(true);
    EXPECT_EQ(L"Automatic Enrollment", StatusRules::header(session).userLabel);
}

TEST_F(StatusRulesTest, TimerShowsReconnectTimeForNetworkErrorsOnly)
{
    bool reconnect = false;
    std::wstring text = L"unchanged";
    connect(Status::ConnectionError, Error::ResolveFailed);
    ASSERT_TRUE(StatusRules::timerStatusText(session, reconnect, text));
    EXPECT_TRUE(reconnect);
    connect(Status::NotConnected, Error::LogOnProcessFailed);
    ASSERT_TRUE(StatusRules::timerStatusText(session, reconnect, text));
    EXPECT_FALSE(reconnect);
    EXPECT_EQ(L"Log on process failed", text);
    connect(Status::ConnectionError, Error::AuthenticationFailed);
    EXPECT_FALSE(StatusRules::timerStatusText(session, reconnect, text));
    connect(Status::Connected, Error::ConnectFailed);
    EXPECT_FALSE(StatusRules::timerStatusText(session, reconnect, text));
}

TEST_F(StatusRulesTest, TrayStatesInTheirOrder)
{
    StatusRules::Tray t = StatusRules::tray(session, status);
    EXPECT_EQ(0, t.state);
    EXPECT_EQ(156, t.icon);
    EXPECT_EQ(148, t.menu);

    connect(Status::Connected);
    t = StatusRules::tray(session, status);
    EXPECT_EQ(1, t.state);
    EXPECT_EQ(155, t.icon);
    EXPECT_EQ(149, t.menu);

    status.idle(true);
    t = StatusRules::tray(session, status);
    EXPECT_EQ(2, t.state);
    EXPECT_EQ(157, t.icon);

    status.atMeeting(true);
    EXPECT_EQ(4, StatusRules::tray(session, status).state);
    status.atMeeting(false);
    status.onPhone(true);
    EXPECT_EQ(5, StatusRules::tray(session, status).state);
    status.idle(false);
    // On the phone and active counts only when the profile says so.
    EXPECT_EQ(1, StatusRules::tray(session, status).state);
    setProfile(ClientProfile::AllowPhoneOverrideActivity, 1);
    EXPECT_EQ(5, StatusRules::tray(session, status).state);
    status.onPhone(false);
    status.setPrivate(true);
    EXPECT_EQ(6, StatusRules::tray(session, status).state);
    status.locked(true);
    EXPECT_EQ(1, StatusRules::tray(session, status).state);

    setProfile(ClientProfile::HideClientReportLinks, 1);
    EXPECT_EQ(150, StatusRules::tray(session, status).menu);

    session.setInAutoEnrollMode(true);
    EXPECT_EQ(0, StatusRules::tray(session, status).state);

    setProfile(ClientProfile::HideClientGUI, 1);
    t = StatusRules::tray(session, status);
    EXPECT_EQ(3, t.state);
    EXPECT_TRUE(t.hidden);
    EXPECT_EQ(0, t.menu);
}

TEST_F(StatusRulesTest, ReportsLinkOnlyForALoggedOnUserWhoseProfileShowsLinks)
{
    EXPECT_FALSE(StatusRules::showReportsLink(session));
    connect(Status::Connected);
    EXPECT_TRUE(StatusRules::showReportsLink(session));
    session.setInAutoEnrollMode(true);
    EXPECT_FALSE(StatusRules::showReportsLink(session));
    session.setInAutoEnrollMode(false);
    setProfile(ClientProfile::HideClientReportLinks, 1);
    EXPECT_FALSE(StatusRules::showReportsLink(session));
}

} // namespace
