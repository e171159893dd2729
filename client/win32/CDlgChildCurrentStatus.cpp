#include "client/win32/CDlgChildCurrentStatus.h"

#include "base/Exception.h"
#include "client/ClientOperations.h"
#include "client/win32/ClientResources.h"
#include "shared/monitoring/Application.h"
#include "shared/monitoring/System.h"

namespace {
const UINT_PTR RefreshTimer = 1;
}

CDlgChildCurrentStatus::CDlgChildCurrentStatus(ClientOperations& client)
    : CChildDialog(IDD_CURRENT_STATUS, client)
{}

bool CDlgChildCurrentStatus::onInitDialog()
{
    CChildDialog::onInitDialog();
    SendMessageW(item(IDC_APP_NAME), WM_SETFONT, reinterpret_cast<WPARAM>(Skin::titleFont()),
                 FALSE);
    SetTimer(hwnd(), RefreshTimer, 500, nullptr);
    refresh();
    return true;
}

void CDlgChildCurrentStatus::onTimer(UINT_PTR id)
{
    if (id == RefreshTimer)
        refresh();
}

void CDlgChildCurrentStatus::onDestroy()
{
    KillTimer(hwnd(), RefreshTimer);
}

int CDlgChildCurrentStatus::displayMode() const
{
    const UserStatus& status = m_client.getSystem().getUserStatus();
    if (status.idle())
        return 1;
    if (status.atMeeting())
        return 2;
    if (status.isPrivate())
        return 4;
    if (status.onPhone())
        return 3;
    return 0;
}

void CDlgChildCurrentStatus::showActivity(const std::wstring& name, const std::wstring& line1,
                                          const std::wstring& line2, HICON icon)
{
    m_name = name;
    m_line1 = line1;
    m_line2 = line2;
    m_shown = true;
    setItemText(IDC_APP_NAME, name);
    setItemText(IDC_CONTEXT1, line1);
    setItemText(IDC_CONTEXT2, line2);
    if (icon)
        SendMessageW(item(IDC_APP_ICON), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

void CDlgChildCurrentStatus::refresh()
{
    System& system = m_client.getSystem();
    int mode = displayMode();
    HICON fallback = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_DEFAULT_APP));
    if (mode == 1) {
        showActivity(L"No current activity", L"", L"", fallback);
        return;
    }
    const TopLevelWindow* window = nullptr;
    const Application* application = nullptr;
    try {
        window = system.getActiveWindow();
        application = window ? system.getActiveApplication() : nullptr;
    } catch (const Exception&) {
        // A window whose program has no record yet shows as no activity
        // until the system change service has recorded it.
        application = nullptr;
    }
    std::wstring name = application ? application->getVersionInfo().getFileDescription() : L"";
    std::wstring line1 = window ? window->getParam1() : L"";
    std::wstring line2 = window ? window->getParam2() : L"";
    if (mode == 0 && m_shown && name == m_name && line1 == m_line1 && line2 == m_line2)
        return;
    HICON icon = fallback;
    if (application) {
        HICON own = const_cast<Application*>(application)->getIcon().getHICON();
        if (own)
            icon = own;
    }
    showActivity(name.empty() && !window ? L"No current activity" : name, line1, line2, icon);
}
