#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shared/framework/Clock.h"
#include "shared/monitoring/Desktop.h"
#include "shared/TCShrdApi.h"

// A desktop made of windows and processes that a test (or the native build)
// describes. It answers like the real one, error codes included: a window
// that has gone has no style, no process and no text; a process that has
// ended cannot be opened. Its tick count is that of a clock (the system's
// unless told otherwise), so that a test that moves its clock on moves the
// desktop's time with it.
class TCSHRD_API ScriptedDesktop : public Desktop {
public:
    // Error codes as Windows gives them, so that traces read the same.
    static constexpr unsigned long ErrorAccessDenied = 5;
    static constexpr unsigned long ErrorInvalidParameter = 87;
    static constexpr unsigned long ErrorInvalidWindowHandle = 1400;
    static constexpr unsigned long ErrorFileNotFound = 2;

    // The name of the desktop that receives input while nobody locked it.
    static const wchar_t* const DefaultDesktopName; // "Default"

    ScriptedDesktop();
    ~ScriptedDesktop() override;

    // A running process whose executable is at path; both ways of reading
    // the path find it until told otherwise.
    void startProcess(uint32_t processId, const std::wstring& path);
    // Ends the process: it can no longer be opened, and its windows close.
    void endProcess(uint32_t processId);
    // Makes one way of reading the path answer with that outcome (Found
    // restores the path given at start).
    void setModuleLookup(uint32_t processId, PathLookup status, unsigned long error = 0);
    void setImageLookup(uint32_t processId, PathLookup status, unsigned long error = 0);

    // A new top-level window of the process, last in the desktop's order.
    native::Window openWindow(uint32_t processId, const std::wstring& title,
                              uint32_t style = StyleVisible);
    void closeWindow(native::Window window);
    void setTitle(native::Window window, const std::wstring& title);
    // The text cannot be read until a title is set again.
    void makeTitleUnreadable(native::Window window, unsigned long error);
    void setStyle(native::Window window, uint32_t style);
    void setVisible(native::Window window, bool visible);
    void setMinimised(native::Window window, bool minimised);
    void setForeground(native::Window window) { m_foreground = window; }
    void setShell(native::Window window) { m_shell = window; }
    // Runs once after the next enumeration has been handed out, as if the
    // desktop changed in between.
    void afterNextEnumeration(std::function<void()> change)
    {
        m_afterEnumeration = std::move(change);
    }

    // The clock the tick count comes from; not owned, it must outlive the
    // desktop (or the next call).
    void useClock(const Clock& clock) { m_clock = &clock; }
    // The user touches the keyboard or mouse now. Until the first input (or
    // setLastInputTick) the last input is always now: nobody is idle on a
    // desktop nobody scripted.
    void userInput();
    void setLastInputTick(uint32_t tick);
    // The last input time cannot be had, with that error, until the next
    // input.
    void failLastInput(unsigned long error);
    void setScreenSaverRunning(bool running) { m_screenSaver = running; }
    // The input desktop as a locked workstation shows it: the secure desktop,
    // which cannot be opened (access denied). unlock returns "Default".
    void lock() { setInputDesktop(DesktopAccess::OpenFailed, ErrorAccessDenied); }
    void unlock() { setInputDesktop(DesktopAccess::Readable, 0, DefaultDesktopName); }
    // Any answer for the input desktop; name counts for Readable only.
    void setInputDesktop(DesktopAccess access, unsigned long error,
                         const std::wstring& name = std::wstring());
    // A desktop that openDesktop finds: error 0 opens it, any other error
    // refuses it with that error. Other names are not found.
    void addDesktop(const std::wstring& name, unsigned long error = 0) { m_desktops[name] = error; }
    void removeDesktop(const std::wstring& name) { m_desktops.erase(name); }

    // How often each question was asked.
    size_t textReads() const { return m_textReads; }
    size_t pathReads() const { return m_pathReads; }
    size_t inputDesktopReads() const { return m_inputDesktopReads; }

    native::Window foregroundWindow() override;
    native::Window shellWindow() override;
    void topLevelWindows(std::vector<native::Window>& windows) override;
    uint32_t windowStyle(native::Window window) override;
    uint32_t windowProcessId(native::Window window, unsigned long& error) override;
    PathResult modulePath(uint32_t processId, std::wstring& path) override;
    PathResult imagePath(uint32_t processId, std::wstring& path) override;
    bool windowText(native::Window window, size_t bufferUnits, std::wstring& text,
                    unsigned long& error) override;
    uint32_t tickCount() override;
    bool lastInputTick(uint32_t& tick, unsigned long& error) override;
    bool screenSaverRunning() override { return m_screenSaver; }
    DesktopAccess inputDesktop(size_t nameBufferBytes, std::wstring& name,
                               unsigned long& error) override;
    bool openDesktop(const std::wstring& name, unsigned long& error) override;

private:
    struct Window {
        uint32_t processId = 0;
        std::wstring title;
        uint32_t style = 0;
        unsigned long textError = 0;
    };
    struct Process {
        std::wstring path;
        PathResult module{PathLookup::Found, 0};
        PathResult image{PathLookup::Found, 0};
    };

    PathResult lookup(uint32_t processId, PathResult Process::*way, std::wstring& path);
    Window* find(native::Window window);

    std::vector<std::pair<native::Window, Window>> m_windows; // desktop order
    std::map<uint32_t, Process> m_processes;
    native::Window m_foreground = nullptr;
    native::Window m_shell = nullptr;
    uintptr_t m_nextHandle = 0x10010;
    std::function<void()> m_afterEnumeration;
    size_t m_textReads = 0;
    size_t m_pathReads = 0;

    const Clock* m_clock;
    bool m_inputScripted = false;
    uint32_t m_lastInput = 0;
    unsigned long m_lastInputError = 0;
    bool m_screenSaver = false;
    DesktopAccess m_inputAccess = DesktopAccess::Readable;
    unsigned long m_inputError = 0;
    std::wstring m_inputName;
    std::map<std::wstring, unsigned long> m_desktops;
    size_t m_inputDesktopReads = 0;
};
