#include "client/win32/CTrayNotifyIcon.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "client/win32/ClientMessages.h"

namespace {
void copyText(wchar_t* target, size_t capacity, const std::wstring& text)
{
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    text.copy(target, n);
    target[n] = L'\0';
}
} // namespace

CTrayNotifyIcon::~CTrayNotifyIcon()
{
    remove();
    if (m_menu)
        DestroyMenu(m_menu);
}

int CTrayNotifyIcon::shellVersion()
{
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (!shell)
        return 4;
    using GetVersion = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
    auto get = reinterpret_cast<GetVersion>(GetProcAddress(shell, "DllGetVersion"));
    if (!get)
        return 4;
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    if (FAILED(get(&info)))
        return 4;
    return static_cast<int>(info.dwMajorVersion);
}

DWORD CTrayNotifyIcon::structureSize(int major)
{
    // The layouts of the three shell generations; in a 32-bit build they
    // are 152, 936 and 952 bytes.
    if (major < 5)
        return NOTIFYICONDATAW_V1_SIZE;
    if (major == 5)
        return NOTIFYICONDATAW_V2_SIZE;
    return NOTIFYICONDATAW_V3_SIZE;
}

bool CTrayNotifyIcon::create(HWND owner, const std::wstring& tip, HICON icon)
{
    m_owner = owner;
    setMenu(148);
    if (!m_hooked)
        m_hooked = SetWindowSubclass(owner, &CTrayNotifyIcon::ownerProc, 2,
                                     reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    m_data = NOTIFYICONDATAW{};
    // Never more than this build's structure holds.
    DWORD size = structureSize(shellVersion());
    m_data.cbSize = size < sizeof m_data ? size : sizeof m_data;
    m_data.hWnd = owner;
    m_data.uID = IconId;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_data.uCallbackMessage = ClientMessages::trayNotify();
    m_data.hIcon = icon;
    copyText(m_data.szTip, 128, tip);
    return add();
}

bool CTrayNotifyIcon::add()
{
    NOTIFYICONDATAW data = m_data;
    data.uFlags &= ~NIF_INFO;
    m_added = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (m_added) {
        ++m_addCount;
        if (shellVersion() >= 5) {
            data.uVersion = 3; // the version-5 interface of the notification area
            Shell_NotifyIconW(NIM_SETVERSION, &data);
        }
    }
    return m_added;
}

void CTrayNotifyIcon::remove()
{
    if (m_added) {
        NOTIFYICONDATAW data = m_data;
        Shell_NotifyIconW(NIM_DELETE, &data);
        m_added = false;
    }
    if (m_hooked && m_owner && IsWindow(m_owner))
        RemoveWindowSubclass(m_owner, &CTrayNotifyIcon::ownerProc, 2);
    m_hooked = false;
}

bool CTrayNotifyIcon::setIcon(HICON icon)
{
    NOTIFYICONDATAW data = m_data;
    data.uFlags = NIF_ICON;
    data.hIcon = icon;
    if (m_added && !Shell_NotifyIconW(NIM_MODIFY, &data))
        return false;
    m_data.hIcon = icon;
    return true;
}

bool CTrayNotifyIcon::hide(bool hidden)
{
    NOTIFYICONDATAW data = m_data;
    data.uFlags = NIF_STATE;
    data.dwState = hidden ? NIS_HIDDEN : 0;
    data.dwStateMask = NIS_HIDDEN;
    if (m_added && !Shell_NotifyIconW(NIM_MODIFY, &data))
        return false;
    m_hidden = hidden;
    return true;
}

void CTrayNotifyIcon::setMenu(int menuId)
{
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId));
    if (!menu)
        return;
    if (m_menu)
        DestroyMenu(m_menu);
    m_menu = menu;
    m_menuId = menuId;
}

HMENU CTrayNotifyIcon::popup() const
{
    return m_menu ? GetSubMenu(m_menu, 0) : nullptr;
}

bool CTrayNotifyIcon::showBalloon(const std::wstring& text, const std::wstring& title, int kind,
                                  UINT timeoutMs, bool noSound)
{
    if (!m_added)
        return false;
    NOTIFYICONDATAW data = m_data;
    data.uFlags = NIF_INFO;
    copyText(data.szInfo, 256, text);
    copyText(data.szInfoTitle, 64, title);
    data.uTimeout = timeoutMs;
    static const DWORD kinds[] = {NIIF_WARNING, NIIF_ERROR, NIIF_INFO, NIIF_NONE, NIIF_USER};
    data.dwInfoFlags = (kind >= 0 && kind <= 4) ? kinds[kind] : NIIF_NONE;
    if (noSound)
        data.dwInfoFlags |= NIIF_NOSOUND;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void CTrayNotifyIcon::onNotify(WPARAM id, LPARAM event)
{
    if (id != IconId || LOWORD(event) != WM_RBUTTONUP)
        return;
    HMENU menu = popup();
    if (!menu)
        return;
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if the owner is
    // in the foreground, and the posted WM_NULL lets it close at once.
    SetForegroundWindow(m_owner);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, m_owner, nullptr);
    PostMessageW(m_owner, WM_NULL, 0, 0);
}

LRESULT CALLBACK CTrayNotifyIcon::ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR, DWORD_PTR data)
{
    auto* self = reinterpret_cast<CTrayNotifyIcon*>(data);
    if (message == ClientMessages::taskbarCreated()) {
        // The shell restarted and forgot its icons.
        if (self->m_added) {
            NOTIFYICONDATAW gone = self->m_data;
            Shell_NotifyIconW(NIM_DELETE, &gone);
            self->m_added = false;
        }
        self->add();
        if (self->m_hidden)
            self->hide(true);
    } else if (message == WM_DESTROY) {
        self->remove();
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
