#include "client/StatusRules.h"

#include "shared/server/ClientProfile.h"
#include "shared/server/TavelinSessionDetails.h"
#include "shared/server/UserStatus.h"

using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;

const int StatusRules::CreationOrder[10] = {7, 3, 1, 2, 8, 9, 10, 4, 5, 6};

std::wstring StatusRules::viewName(int view)
{
    static const wchar_t* const names[] = {
        L"SIGNIN_VIEW",       L"SWITCHUSER_VIEW",     L"STATUS_VIEW",        L"STATUS_MEETING_VIEW",
        L"STATUS_PHONE_VIEW", L"STATUS_PRIVACY_VIEW", L"CHANGE_STATUS_VIEW", L"GOTOMEETING_VIEW",
        L"GOTOPHONE_VIEW",    L"GOTOPRIVACY_VIEW",
    };
    if (view < 1 || view > 10)
        return std::wstring();
    return names[view - 1];
}

int StatusRules::firstView(const TavelinSessionDetails& session)
{
    if (session.getConnectionStatus() == Status::ConnectionError) {
        if (session.getConnectionError() == Error::LogOnProcessFailed)
            return SwitchUserView;
        return NoView;
    }
    return SignInView;
}

int StatusRules::cancelTarget(const TavelinSessionDetails& session, const UserStatus& status)
{
    if (!session.isLoggedOn())
        return SignInView;
    if (status.atMeeting())
        return MeetingStatusView;
    if (status.onPhone())
        return PhoneStatusView;
    if (status.isPrivate())
        return PrivacyStatusView;
    return ChangeStatusView;
}

int StatusRules::afterStateChange(int currentView, const UserStatus& status)
{
    if ((currentView == MeetingStatusView && !status.atMeeting()) ||
        (currentView == PhoneStatusView && !status.onPhone()) ||
        (currentView == PrivacyStatusView && !status.isPrivate()))
        return ChangeStatusView;
    return currentView;
}

StatusRules::Header StatusRules::header(const TavelinSessionDetails& session)
{
    Header h;
    h.userLabel = session.getUserName();
    switch (session.getConnectionStatus()) {
    case Status::NotConnected:
        h.userLabel = L"Sign In";
        h.statusText = L"Offline";
        break;
    case Status::ProxyWizardRunning:
        h.changesStatus = false;
        break;
    case Status::Connecting:
        h.statusText = L"Connecting...";
        break;
    case Status::Authenticating:
        h.statusText = L"Authenticating...";
        break;
    case Status::Connected:
        h.statusText = L"Connected";
        h.bitmap = 144;
        break;
    case Status::ConnectionError:
        switch (session.getConnectionError()) {
        case Error::LogOnProcessFailed:
            h.statusText = L"Log on process failed";
            break;
        case Error::AuthenticationFailed:
            h.userLabel = L"Sign In";
            h.statusText = L"Incorrect username/password";
            h.retryPreviousUser = true;
            break;
        case Error::ClientAppTooOld:
            h.userLabel = L"Sign In";
            h.statusText = L"Software upgrade required";
            break;
        case Error::AccountSuspended:
            h.userLabel = L"Sign In";
            h.statusText = L"Account suspended";
            break;
        case Error::ResolveFailed:
        case Error::ConnectFailed:
        case Error::ConnectTimedOut:
        case Error::SecureSessionFailed:
            h.reconnectText = true;
            break;
        default:
            h.changesStatus = false;
            break;
        }
        break;
    default:
        h.changesStatus = false;
        break;
    }
    if (session.isInAutoEnrollMode())
        h.userLabel = L"Automatic Enrollment";
    return h;
}

bool StatusRules::timerStatusText(const TavelinSessionDetails& session, bool& reconnectTime,
                                  std::wstring& text)
{
    Status status = session.getConnectionStatus();
    if (status != Status::NotConnected && status != Status::ConnectionError)
        return false;
    int error = static_cast<int>(session.getConnectionError());
    if (error >= 1 && error <= 3) {
        reconnectTime = true;
        return true;
    }
    if (error == 4) {
        reconnectTime = false;
        text = L"Log on process failed";
        return true;
    }
    return false;
}

StatusRules::Tray StatusRules::tray(const TavelinSessionDetails& session, const UserStatus& status)
{
    const ClientProfile& profile = session.getClientProfile();
    Tray t;
    if (profile.hideGUI()) {
        t.state = 3;
        t.icon = 0;
        t.menu = 0;
        t.hidden = true;
        return t;
    }
    bool away = status.idle() || status.locked();
    int linksMenu = profile.hideLinks() ? 150 : 149;
    if (!session.isLoggedOn() || session.isInAutoEnrollMode()) {
        t.state = 0;
        t.icon = 156;
        t.menu = 148;
    } else if (status.atMeeting() && away) {
        t.state = 4;
        t.icon = 155;
        t.menu = linksMenu;
    } else if (status.onPhone() && (away || profile.overrideActivityWhenOnPhone())) {
        t.state = 5;
        t.icon = 155;
        t.menu = linksMenu;
    } else if (status.isPrivate() && !away) {
        t.state = 6;
        t.icon = 155;
        t.menu = linksMenu;
    } else if (status.idle()) {
        t.state = 2;
        t.icon = 157;
        t.menu = linksMenu;
    } else {
        t.state = 1;
        t.icon = 155;
        t.menu = linksMenu;
    }
    return t;
}

bool StatusRules::showReportsLink(const TavelinSessionDetails& session)
{
    return session.isLoggedOn() && !session.isInAutoEnrollMode() &&
           !session.getClientProfile().hideLinks();
}
