#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

#include "base/FileName.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/Application.h"
#include "shared/monitoring/Desktop.h"
#include "shared/monitoring/MachineDetails.h"
#include "shared/monitoring/TopLevelWindow.h"
#include "shared/server/TavelinSessionDetails.h"
#include "shared/server/UserDetails.h"
#include "shared/server/UserStatus.h"
#include "shared/TCShrdApi.h"

// The client's picture of the desktop it watches: the visible top-level
// windows, the executables behind them, the user's state, the session with
// the server and the machine. Used from the framework thread, except the
// application table (addApplication, exists, getApplicationID,
// setApplicationID, findApplication) and the session's ids, which the
// transport's worker thread reads and extends as well: those are guarded.
class TCSHRD_API System {
public:
    // Prepares (and empties) the temporary folder, reads the desktop, and
    // starts the look-up of the user's and the machine's details. The
    // desktop and clock are not owned and must outlive the object. Throws
    // SystemException 1060403 when the temporary folder cannot be made.
    explicit System(Desktop& desktop = Desktop::system(), const Clock& clock = Clock::system());
    virtual ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    UserStatus& getUserStatus() { return m_userStatus; }
    const UserStatus& getUserStatus() const { return m_userStatus; }
    TavelinSessionDetails& getTavelinSessionDetails() { return m_sessionDetails; }
    const TavelinSessionDetails& getTavelinSessionDetails() const { return m_sessionDetails; }
    const MachineDetails& getMachineDetails() const { return m_machineDetails; }
    const UserDetails& getDomainUserDetails() const { return m_userDetails; }
    // The desktop the model reads and the clock it counts time by; the
    // services that watch the same desktop ask these.
    Desktop& getDesktop() const { return m_desktop; }
    const Clock& getClock() const { return m_clock; }

    // Rescans the desktop: keeps the windows still visible, adds the new
    // visible ones, drops the closed and hidden ones; then getActiveWindow.
    // A window that cannot be recorded is left out; the scan goes on.
    const TopLevelWindow* refresh();
    // The record of the foreground window (the shell window when there is
    // none or it is minimised), added when new; null when even the shell
    // window is unknown.
    const TopLevelWindow* getActiveWindow();
    // The application of the active window; null without an active window.
    // Throws MonitoringException 1062201 when its executable has no record.
    const Application* getActiveApplication();

    // Records the executable unless it has a record already (which stays as
    // it is): reads its data and gives it the id.
    void addApplication(const wchar_t* fileName, int id);
    bool exists(const wchar_t* fileName) const;
    // The record's id; -1 without a record.
    int getApplicationID(const wchar_t* fileName) const;
    // Throws MonitoringException 1062203 when the path has no record.
    void setApplicationID(const wchar_t* fileName, int id);

    // Applies a context report to a known window. False when the window is
    // unknown, nothing differs, or a lower-class report meets first-class
    // context; true when the window took it.
    bool setContextInfo(native::Window window, const std::wstring& string1,
                        const std::wstring& string2, const std::wstring& string3,
                        TopLevelWindow::PluginInfoQuality quality);

    // The record of a known window (null when unknown), the number of
    // windows and applications, and an application's record (null when
    // none), for the tools and the status views.
    const TopLevelWindow* findWindow(native::Window window) const;
    size_t getWindowCount() const { return m_windows.size(); }
    size_t getApplicationCount() const;
    const Application* findApplication(const wchar_t* fileName) const;

    friend TCSHRD_API std::wostream& operator<<(std::wostream& out, const System& system);

protected:
    // Records the window unless known; a window whose process or executable
    // cannot be had is traced (1062202) and left out.
    void addWindow(native::Window window);
    // One window of the enumeration (param: the System): keeps it when known
    // and visible, adds it when new and visible. Always true (go on).
    static bool enumWndCallback(native::Window window, intptr_t param);

    TopLevelWindow* lookUp(native::Window window) const;
    Application* lookUpApplication(const std::wstring& fileName) const;

    Desktop& m_desktop;
    const Clock& m_clock;
    UserStatus m_userStatus;
    TavelinSessionDetails m_sessionDetails;
    MachineDetails m_machineDetails;
    UserDetails m_userDetails;
    std::map<native::Window, std::unique_ptr<TopLevelWindow>> m_windows;
    // Records are never removed, so a record's address stays valid once the
    // look-up that found it has let go of the lock.
    std::map<FileName, std::unique_ptr<Application>> m_applications;
    mutable std::recursive_mutex m_applicationsLock;
};

// "System:" and, per window, the window followed by its application.
TCSHRD_API std::wostream& operator<<(std::wostream& out, const System& system);
