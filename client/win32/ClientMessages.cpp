#include "client/win32/ClientMessages.h"

UINT ClientMessages::systemInfoUpdate()
{
    static const UINT id = RegisterWindowMessageW(L"WM_SYSTEM_INFO_UPDATE");
    return id;
}

UINT ClientMessages::trayNotify()
{
    static const UINT id = RegisterWindowMessageW(L"WM_TL_TRAY_NOTIFY");
    return id;
}

UINT ClientMessages::taskbarCreated()
{
    static const UINT id = RegisterWindowMessageW(L"TaskbarCreated");
    return id;
}

UINT ClientMessages::hyperlinkClicked()
{
    static const UINT id = RegisterWindowMessageW(L"WM_XHYPERLINK_CLICKED");
    return id;
}
