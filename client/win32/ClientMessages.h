#pragma once
#include "base/win32/WindowsSupport.h"

// The client's registered window messages, each registered once per process.
class ClientMessages {
public:
    static UINT systemInfoUpdate(); // "WM_SYSTEM_INFO_UPDATE"
    static UINT trayNotify();       // "WM_TL_TRAY_NOTIFY"
    static UINT taskbarCreated();   // "TaskbarCreated"
    static UINT hyperlinkClicked(); // "WM_XHYPERLINK_CLICKED"
};
