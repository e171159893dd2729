#include "client/win32/CDlgChildSignIn.h"

#include "client/AuthenticationURL.h"
#include "client/ClientOperations.h"
#include "client/win32/CXHyperLink.h"
#include "client/win32/ClientResources.h"
#include "shared/monitoring/System.h"

CDlgChildSignIn::CDlgChildSignIn(ClientOperations& client, bool switchUser)
    : CChildDialog(IDD_SIGNIN, client), m_switchUser(switchUser)
{
    addLink(IDC_FORGOT_LINK);
    addLink(IDC_REGISTER_LINK);
}

bool CDlgChildSignIn::onInitDialog()
{
    CChildDialog::onInitDialog();
    const TavelinSessionDetails& session = m_client.getSystem().getTavelinSessionDetails();
    setUserName(session.getUserName());
    setItemText(IDC_PASSWORD, session.getUserPassword());
    if (m_switchUser) {
        setItemText(IDC_VIEW_HEADING, L"Sign in as another user");
    } else {
        showItem(IDC_CANCEL, false);
        // "Sign In" alone, centred under the fields.
        RECT button, page;
        GetWindowRect(item(IDC_SIGNIN), &button);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&button), 2);
        GetClientRect(hwnd(), &page);
        int width = button.right - button.left;
        SetWindowPos(item(IDC_SIGNIN), nullptr, (page.right - width) / 2, button.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return true;
}

bool CDlgChildSignIn::onMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result)
{
    // Enter in either field signs in: the status window decides.
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        SendMessageW(GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
        result = TRUE;
        return true;
    }
    return false;
}

void CDlgChildSignIn::onSystemInfoUpdate()
{
    onConnectionStatusChange(
        static_cast<int>(m_client.getSystem().getTavelinSessionDetails().getConnectionStatus()));
}

void CDlgChildSignIn::onConnectionStatusChange(int status)
{
    bool settled = status == 0 || status == 4 || status == 5;
    if (settled) {
        std::wstring reports = m_client.getReportsURL();
        std::wstring site = AuthenticationURL::MakerSite;
        if (!reports.empty()) {
            link(IDC_FORGOT_LINK)->setAddress(reports + L"/Security/ResetPassword.aspx");
            link(IDC_REGISTER_LINK)
                ->setAddress(reports + L"/Registration/Personal/PersonalRegistration1.aspx");
        } else {
            link(IDC_FORGOT_LINK)->setAddress(site + L"Security/ResetPassword.aspx");
            link(IDC_REGISTER_LINK)->setAddress(site + L"Info/About/TavelinEditionComparison.aspx");
        }
        showItem(IDC_FORGOT_LINK, true);
        showItem(IDC_REGISTER_LINK, true);
    }
    for (int id : {IDC_USERNAME, IDC_PASSWORD, IDC_SIGNIN, IDC_CANCEL})
        enableItem(id, settled);
}
