#pragma once
#include <memory>
#include <string>
#include <vector>

#include "base/win32/WindowsSupport.h"
#include "shared/monitoring/win32/SystemSingleton.h"

class AdjustableClock;
class Clock;
class TavelinClientApplication;

// The client program's start-up: the start-up trace "debug.log" in the
// user's temporary folder, the maintenance options (which only drive the
// service program), the log sinks, the refusals (LocalSystem, a second
// instance of the same user), the framework, and the status window whose
// loop is the program's life. Operations that reach outside the process
// are virtual so that tests can watch them.
class CTavelinApp {
public:
    // The service's one name, used by the stop command too.
    static const wchar_t* const ServiceName; // "OndrivexService"

    CTavelinApp();
    virtual ~CTavelinApp();
    CTavelinApp(const CTavelinApp&) = delete;
    CTavelinApp& operator=(const CTavelinApp&) = delete;

    // The whole start-up and the program's life; always false (the program
    // ends when it returns). arguments: the command line less the program.
    bool InitInstance(const std::vector<std::wstring>& arguments);
    // One step of the main loop (from the status window's 200 ms timer).
    void DoWork();
    bool EnsureCurrentUserIsNotLocalSystem();
    bool EnsureSingleInstance();
    void setupLogging();
    // Terminates the first other process of that executable name, through
    // the top-level windows it owns (one without windows is left running).
    static void terminateOtherClient(const std::wstring& exeName);
    virtual void createApplication();
    void destroyApplication();
    TavelinClientApplication* getApplication() const { return m_app.get(); }
    // The clock the framework and the status window run on: the system's,
    // or an adjustable one when the window tests ask for it
    // (ClockControlWindow::requested, looked at by createApplication).
    const Clock& clock() const;

    // Writes a line to debug.log and flushes it; nothing before it is open.
    static void trace(const char* text);
    // The path of debug.log: the temporary folder + "debug.log"; empty when
    // the folder cannot be had.
    static std::wstring debugLogPath();

protected:
    virtual int showMessage(const std::wstring& text, UINT flags);
    virtual void runCommand(const std::wstring& commandLine);
    virtual void terminate(const std::wstring& exeName) { terminateOtherClient(exeName); }
    virtual bool isLocalSystem();
    virtual std::wstring singletonName();
    // Steps 9 to 13: the status window and its loop. False when the window
    // cannot be made.
    virtual bool runStatusWindow();

private:
    bool startUp(const std::vector<std::wstring>& arguments);

    SystemSingleton m_singleton;
    // Outlives the framework that reads it.
    std::unique_ptr<AdjustableClock> m_testClock;
    std::unique_ptr<TavelinClientApplication> m_app;
};
