#pragma once
#include <string>

#include "base/win32/WindowsSupport.h"
#include <shellapi.h>

// The status window's icon in the notification area: added when the window
// is created, added again when the shell's taskbar is recreated, removed
// when the window goes. Its popup menu and icon follow the tray state; the
// owner window receives "WM_TL_TRAY_NOTIFY" for every mouse event on it.
class CTrayNotifyIcon {
public:
    static const UINT IconId = 148;

    CTrayNotifyIcon() = default;
    ~CTrayNotifyIcon();
    CTrayNotifyIcon(const CTrayNotifyIcon&) = delete;
    CTrayNotifyIcon& operator=(const CTrayNotifyIcon&) = delete;

    // Loads menu 148, watches the owner's messages and adds the icon with
    // the tip and icon given. False when the shell refused the icon (the
    // object still watches the owner, so a later taskbar brings it back).
    bool create(HWND owner, const std::wstring& tip, HICON icon);
    // Removes the icon (NIM_DELETE) and stops watching the owner.
    void remove();
    bool isAdded() const { return m_added; }

    bool setIcon(HICON icon);
    bool hide(bool hidden);
    bool isHidden() const { return m_hidden; }
    // Replaces the popup menu by menu resource id; the first popup is shown.
    void setMenu(int menuId);
    int menuId() const { return m_menuId; }
    HMENU popup() const;

    // A balloon: kind 0 warning, 1 error, 2 information, 3 none, 4 user
    // icon. Nothing while the icon is not added.
    bool showBalloon(const std::wstring& text, const std::wstring& title, int kind, UINT timeoutMs,
                     bool noSound = false);
    // Handles a notification for the icon: a right button release shows the
    // menu at the cursor; the chosen entry reaches the owner as WM_COMMAND.
    void onNotify(WPARAM id, LPARAM event);

    // The structure size the shell expects: 152 bytes before version 5, 936
    // for 5, 952 for 6 and later (the 32-bit layouts; a 64-bit build gives
    // the same generations' 64-bit sizes).
    static DWORD structureSize(int shellMajorVersion);
    static int shellVersion();

    // Operations made and how they went, for tests and diagnostics.
    int addCount() const { return m_addCount; }

private:
    bool add();
    static LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR data);

    NOTIFYICONDATAW m_data{};
    HWND m_owner = nullptr;
    HMENU m_menu = nullptr;
    int m_menuId = 0;
    bool m_added = false;
    bool m_hidden = false;
    bool m_hooked = false;
    int m_addCount = 0;
};
