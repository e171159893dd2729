#include "client/win32/CStatusWindowCommands.h"

#include <vector>

#include "client/AuthenticationURL.h"
#include "client/ClientOperations.h"
#include "client/StatusRules.h"
#include "client/VersionText.h"
#include "client/win32/CDlgChildCurrentStatusTimed.h"
#include "client/win32/CDlgChildSignIn.h"
#include "client/win32/CDlgChildTimeOptions.h"
#include "client/win32/CDlgController.h"
#include "client/win32/CXHyperLink.h"
#include "client/win32/ClientResources.h"
#include "shared/monitoring/System.h"

using Status = TavelinSessionDetails::ConnectionStatus;

namespace {
// The wait cursor for the length of a command.
class WaitCursor {
public:
    WaitCursor() : m_old(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(m_old); }

private:
    HCURSOR m_old;
};
} // namespace

CStatusWindowCommands::CStatusWindowCommands(CDlgController& window, ClientOperations& client)
    : m_window(window), m_client(client)
{}

CStatusWindowCommands::~CStatusWindowCommands()
{
    m_tray.remove();
    for (HICON icon : m_trayIcons)
        if (icon)
            DestroyIcon(icon);
}

bool CStatusWindowCommands::run(int id)
{
    switch (id) {
    case IDC_SIGNIN:
        signIn();
        return true;
    case IDC_CANCEL:
        cancel();
        return true;
    case IDC_BACK:
        finish();
        return true;
    case IDC_START:
        startDeclaredState();
        return true;
    case ID_TRAY_LOGON:
        logOnAsAnotherUser();
        return true;
    case ID_TRAY_SHOW_REPORTS:
        showReports();
        return true;
    case ID_TRAY_CHECK_UPDATES:
        checkForUpdates();
        return true;
    case ID_TRAY_ABOUT:
        showAbout();
        return true;
    default:
        return false;
    }
}

void CStatusWindowCommands::updateTrayIcon()
{
    const System& system = m_client.getSystem();
    StatusRules::Tray t =
        StatusRules::tray(system.getTavelinSessionDetails(), system.getUserStatus());
    if (t.state == m_trayState)
        return;
    bool done = true;
    if (t.hidden) {
        done = m_tray.hide(true);
    } else {
        int slot = t.icon == IDI_TRAY_OFFLINE ? 0 : t.icon == IDI_TRAY_IDLE ? 1 : 2;
        if (!m_trayIcons[slot])
            m_trayIcons[slot] = static_cast<HICON>(
                LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(t.icon), IMAGE_ICON,
                           GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        done = m_tray.hide(false) && m_tray.setIcon(m_trayIcons[slot]);
        if (done)
            m_tray.setMenu(t.menu);
    }
    if (done)
        m_trayState = t.state;
}

void CStatusWindowCommands::onTrayNotify(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(lParam) == WM_LBUTTONDBLCLK)
        m_window.hideToTray(IsWindowVisible(m_window.hwnd()) && !IsIconic(m_window.hwnd()));
    else
        m_tray.onNotify(wParam, lParam);
}

void CStatusWindowCommands::signIn()
{
    int viewNumber = m_window.currentViewNumber();
    if (viewNumber != StatusRules::SignInView && viewNumber != StatusRules::SwitchUserView)
        return;
    WaitCursor wait;
    auto* form = static_cast<CDlgChildSignIn*>(m_window.currentView());
    if (!form)
        return;
    std::wstring user = form->userName();
    std::wstring password = form->password();
    if (user.empty()) {
        m_window.messageBox(L"Please enter your user username", MB_OK);
        return;
    }
    if (password.empty()) {
        m_window.messageBox(L"Please enter your user password", MB_OK);
        return;
    }
    m_lastUser = user;
    m_lastPassword = password;
    m_window.setUserLabel(user);
    const UserStatus& status = m_client.getSystem().getUserStatus();
    if (status.atMeeting())
        m_client.stopMeeting();
    else if (status.onPhone())
        m_client.stopPhoneCall();
    else if (status.isPrivate())
        m_client.stopPrivacy();
    m_client.logOn(user, password);
}

void CStatusWindowCommands::logOnAsAnotherUser()
{
    if (auto* switchView =
            static_cast<CDlgChildSignIn*>(m_window.view(StatusRules::SwitchUserView)))
        switchView->setUserName(m_lastUser);
    if (m_client.getSystem().getTavelinSessionDetails().getConnectionStatus() ==
        Status::Connected) {
        m_switchUser = true;
        m_window.showView(StatusRules::SwitchUserView);
    } else {
        m_window.showView(StatusRules::SignInView);
    }
    m_window.showWindow();
}

void CStatusWindowCommands::startDeclaredState()
{
    int viewNumber = m_window.currentViewNumber();
    if (viewNumber < StatusRules::GotoMeetingView || viewNumber > StatusRules::GotoPrivacyView)
        return;
    auto* form = static_cast<CDlgChildTimeOptions*>(m_window.currentView());
    std::wstring subject = form->subject();
    std::wstring durationText = form->durationText();
    int seconds = form->durationSeconds();
    if (viewNumber == StatusRules::GotoMeetingView) {
        m_client.atMeeting(subject, seconds);
        m_window.showView(StatusRules::MeetingStatusView);
        auto* timed = static_cast<CDlgChildCurrentStatusTimed*>(m_window.currentView());
        timed->setUp(seconds);
        timed->setTitle(subject);
        timed->setSecondLine(durationText);
        timed->onViewShown();
    } else if (viewNumber == StatusRules::GotoPhoneView) {
        m_client.onPhoneCall(subject);
        m_window.showView(StatusRules::PhoneStatusView);
        auto* timed = static_cast<CDlgChildCurrentStatusTimed*>(m_window.currentView());
        timed->setUp(0);
        timed->setTitle(L"On Phone Call");
        timed->setSecondLine(subject);
        timed->onViewShown();
    } else {
        m_client.enablePrivacy(seconds);
        m_window.showView(StatusRules::PrivacyStatusView);
        auto* timed = static_cast<CDlgChildCurrentStatusTimed*>(m_window.currentView());
        timed->setUp(seconds);
        timed->setSecondLine(durationText);
        timed->onViewShown();
    }
}

void CStatusWindowCommands::cancel()
{
    const System& system = m_client.getSystem();
    m_window.showView(
        StatusRules::cancelTarget(system.getTavelinSessionDetails(), system.getUserStatus()));
}

void CStatusWindowCommands::finish()
{
    const UserStatus& status = m_client.getSystem().getUserStatus();
    bool meeting = status.atMeeting(), phone = status.onPhone(), personal = status.isPrivate();
    if (meeting)
        m_client.stopMeeting();
    if (phone)
        m_client.stopPhoneCall();
    if (personal)
        m_client.stopPrivacy();
    m_window.showView(StatusRules::ChangeStatusView);
}

void CStatusWindowCommands::checkForUpdates()
{
    std::wstring local = m_window.localVersion();
    std::wstring server = m_client.getCurrentClientVersion();
    if (VersionText::isUpdateAvailable(local, server)) {
        if (m_window.messageBox(VersionText::updateQuestion(server), MB_YESNO | MB_ICONQUESTION) ==
            IDYES)
            CXHyperLink::open(m_client.getCurrentClientVersionURL(), SW_SHOW);
    } else {
        m_window.messageBox(VersionText::NoUpdates, MB_ICONINFORMATION);
    }
}

void CStatusWindowCommands::showReports()
{
    const TavelinSessionDetails& session = m_client.getSystem().getTavelinSessionDetails();
    if (session.getClientProfile().hideLinks())
        return;
    WaitCursor wait;
    CXHyperLink::open(AuthenticationURL::generate(session, m_client.getReportsURL(), false),
                      SW_SHOW);
}

void CStatusWindowCommands::showAbout()
{
    m_window.showWindow();
    m_window.showAboutBox();
}
