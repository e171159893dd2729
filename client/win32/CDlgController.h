#pragma once
#include <map>
#include <memory>
#include <string>

#include "base/Registry.h"
#include "client/MessageOfTheDay.h"
#include "client/win32/CDlgLog.h"
#include "client/win32/CStatusWindowCommands.h"
#include "client/win32/Dialog.h"

class CChildDialog;
class Clock;
class ClientOperations;

// The status window: who is signed in and the connection in a header band,
// one of the ten views below it, the reports and help links at the foot;
// the tray icon and the log window belong to it. Its 200 ms timer is the
// client's heartbeat (ClientOperations::doWork). Created hidden; closing it
// ends the program's loop. The window decides which view is on show and
// keeps the header up to date; what its buttons and tray menu do, and the
// tray icon, are CStatusWindowCommands'.
class CDlgController : public Dialog {
public:
    // userSettings: the user's settings key (window placement, subjects,
    // message of the day). The clock drives the timed views.
    CDlgController(ClientOperations& client, const Registry& userSettings, const Clock& clock);
    ~CDlgController() override;

    // Runs the window's message loop until the window is closed.
    void runModalLoop();
    bool hasEnded() const { return m_ended; }

    void showView(int number);
    int currentViewNumber() const { return m_viewNumber; }
    CChildDialog* view(int number) const;
    CChildDialog* currentView() const { return m_current; }

    void showWindow();
    void hideToTray(bool hide);
    void minimiseWindow();
    void toggleLogWindow();

    void onSystemInfoUpdate();
    void onConnectionStatusChange(int status);
    void onClientProfileChange();
    void updateReportsLink();
    // The header's first line, as a sign-in shows the name typed.
    void setUserLabel(const std::wstring& label);

    // The commands and the tray icon (CStatusWindowCommands) run the
    // buttons and menu entries; these are for the tests.
    bool switchUserFlag() const { return m_commands.switchUserFlag(); }
    int trayState() const { return m_commands.trayState(); }
    CTrayNotifyIcon& tray() { return m_commands.tray(); }
    CDlgLog& logWindow() { return m_log; }
    // The version as the about box and the update check show it.
    virtual std::wstring localVersion();

protected:
    friend class CStatusWindowCommands;

    // Message boxes and the modal about box go through these, so that
    // tests can answer them.
    virtual int messageBox(const std::wstring& text, UINT flags);
    virtual void showAboutBox();

    bool onInitDialog() override;
    void onCommand(int id, int code) override;
    void onTimer(UINT_PTR id) override;
    void onClose() override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    Skin::ButtonKind buttonKind(int id) const override;
    void staticColours(int id, COLORREF& text, HBRUSH& background) const override;
    void paintBackground(HDC dc, const RECT& client) override;

private:
    void savePlacement();
    void restorePlacement();
    void setStatusBitmap(int id);
    int headerHeight() const;
    int footerTop() const;
    RECT trayCorner() const;

    ClientOperations& m_client;
    Registry m_settings;
    const Clock& m_clock;
    std::wstring m_userLabel;
    std::wstring m_statusText;
    CDlgLog m_log;
    std::map<std::wstring, std::unique_ptr<CChildDialog>> m_views;
    CChildDialog* m_current = nullptr;
    int m_viewNumber = 0;
    CStatusWindowCommands m_commands;
    MessageOfTheDay m_motd;
    HBITMAP m_statusBitmap = nullptr;
    HICON m_smallIcon = nullptr;
    bool m_ended = false;
};
