#include "client/win32/CDlgLog.h"

#include <commctrl.h>

#include "client/ClientOperations.h"
#include "client/win32/ClientResources.h"

namespace {
const UINT_PTR DrainTimer = 1;
}

CDlgLog::CDlgLog(ClientOperations& client) : Dialog(IDD_LOG), m_client(client) {}

bool CDlgLog::onInitDialog()
{
    HWND edit = item(IDC_LOG_EDIT);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)),
                 FALSE);
    SetWindowSubclass(edit, &CDlgLog::editProc, 3, 0);
    SetTimer(hwnd(), DrainTimer, 500, nullptr);
    return true;
}

void CDlgLog::onDestroy()
{
    KillTimer(hwnd(), DrainTimer);
    RemoveWindowSubclass(item(IDC_LOG_EDIT), &CDlgLog::editProc, 3);
}

void CDlgLog::onTimer(UINT_PTR id)
{
    if (id == DrainTimer)
        drain();
}

void CDlgLog::drain()
{
    HWND edit = item(IDC_LOG_EDIT);
    std::wstring line;
    while (m_client.getNextLogLine(line)) {
        LRESULT limit = SendMessageW(edit, EM_GETLIMITTEXT, 0, 0);
        int length = GetWindowTextLengthW(edit);
        if (length > limit - 1000) {
            SetWindowTextW(edit, L"");
            length = 0;
        }
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
        // The caret at the start of the new line scrolls it into view.
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
        SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    }
}

bool CDlgLog::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    if (message == WM_SIZE && IsWindowVisible(hwnd())) {
        RECT outer;
        GetWindowRect(hwnd(), &outer);
        MoveWindow(item(IDC_LOG_EDIT), 0, 0, (outer.right - outer.left) - 10,
                   (outer.bottom - outer.top) - 28, TRUE);
        result = TRUE;
        return true;
    }
    return false;
}

LRESULT CALLBACK CDlgLog::editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR)
{
    if (message == WM_LBUTTONDBLCLK) {
        SetWindowTextW(window, L"");
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
