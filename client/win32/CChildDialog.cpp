#include "client/win32/CChildDialog.h"

#include "client/win32/ClientResources.h"

bool CChildDialog::onInitDialog()
{
    if (HWND heading = item(IDC_VIEW_HEADING))
        SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(Skin::headingFont()), FALSE);
    if (HWND title = item(IDC_TITLE_LABEL))
        SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(Skin::headingFont()), FALSE);
    return true;
}

void CChildDialog::onCommand(int id, int code)
{
    if (code == BN_CLICKED || id == IDOK || id == IDCANCEL)
        SendMessageW(GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(id, code),
                     reinterpret_cast<LPARAM>(item(id)));
}

Skin::ButtonKind CChildDialog::buttonKind(int id) const
{
    switch (id) {
    case IDC_SIGNIN:
    case IDC_START:
        return Skin::Primary;
    default:
        return Skin::Secondary;
    }
}

void CChildDialog::staticColours(int id, COLORREF& text, HBRUSH& background) const
{
    background = Skin::pageBrush();
    text = (id == IDC_VIEW_HEADING || id == IDC_TITLE_LABEL) ? Skin::AccentDark : Skin::Text;
    if (id == IDC_CONTEXT1 || id == IDC_CONTEXT2 || id == IDC_TIMED_SECOND)
        text = Skin::Muted;
}
