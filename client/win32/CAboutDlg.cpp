#include "client/win32/CAboutDlg.h"

#include "client/AuthenticationURL.h"
#include "client/win32/CXHyperLink.h"
#include "client/win32/ClientResources.h"

CAboutDlg::CAboutDlg(const std::wstring& version) : Dialog(IDD_ABOUTBOX), m_version(version)
{
    addLink(IDC_ABOUT_LINK).setAddress(AuthenticationURL::MakerSite);
}

bool CAboutDlg::onInitDialog()
{
    setItemText(IDC_ABOUT_VERSION, L"Ondrivex Version " + m_version);
    SendMessageW(item(IDC_ABOUT_VERSION), WM_SETFONT, reinterpret_cast<WPARAM>(Skin::titleFont()),
                 FALSE);
    return true;
}

void CAboutDlg::onCommand(int id, int)
{
    if (id == IDOK || id == IDCANCEL)
        onClose();
}

void CAboutDlg::onClose()
{
    // Shown modally from the tray, modelessly by tests.
    endDialog(IDOK);
    if (hwnd() && IsWindow(hwnd()) && !GetParent(hwnd()))
        ShowWindow(hwnd(), SW_HIDE);
}
