#pragma once
#include <string>

#include "base/win32/WindowsSupport.h"
#include "client/win32/CTrayNotifyIcon.h"

class CDlgController;
class ClientOperations;

// What the status window's buttons and its tray icon's menu do, and the
// tray icon itself: signing in (and in as another user), declaring and
// finishing a meeting, phone call or personal time, the update check, the
// reports and the about box; the icon and menu that follow the tray state.
// The window owns it and decides which view is on show; the commands ask
// the window to switch views, and put their questions through the window's
// message box so that tests can answer them.
class CStatusWindowCommands {
public:
    CStatusWindowCommands(CDlgController& window, ClientOperations& client);
    ~CStatusWindowCommands();
    CStatusWindowCommands(const CStatusWindowCommands&) = delete;
    CStatusWindowCommands& operator=(const CStatusWindowCommands&) = delete;

    // Runs the command of a button or menu entry; false for an id that is
    // none of the commands.
    bool run(int id);

    void signIn();
    void logOnAsAnotherUser();
    void startDeclaredState();
    void cancel();
    void finish();
    void checkForUpdates();
    void showReports();
    void showAbout();

    // Set while the user signs in as another user with the previous one
    // still connected; ended by the window when the connection settles.
    bool switchUserFlag() const { return m_switchUser; }
    void endSwitchUser() { m_switchUser = false; }

    // The tray icon and its menu, after the session and the user's state.
    void updateTrayIcon();
    // The icon's callback: a double click shows or hides the window, the
    // rest goes to the icon (the menu on a right click).
    void onTrayNotify(WPARAM wParam, LPARAM lParam);
    int trayState() const { return m_trayState; }
    CTrayNotifyIcon& tray() { return m_tray; }

private:
    CDlgController& m_window;
    ClientOperations& m_client;
    CTrayNotifyIcon m_tray;
    HICON m_trayIcons[3] = {nullptr, nullptr, nullptr};
    int m_trayState = 1;
    std::wstring m_lastUser;
    std::wstring m_lastPassword;
    bool m_switchUser = false;
};
