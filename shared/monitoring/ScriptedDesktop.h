#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shared/monitoring/Desktop.h"
#include "shared/TCShrdApi.h"

// A desktop made of windows and processes that a test (or the native build)
// describes. It answers like the real one, error codes included: a window
// that has gone has no style, no process and no text; a process that has
// ended cannot be opened.
class TCSHRD_API ScriptedDesktop : public Desktop {
public:
    // Error codes as Windows gives them, so that traces read the same.
    static constexpr unsigned long ErrorAccessDenied = 5;
    static constexpr unsigned long ErrorInvalidParameter = 87;
    static constexpr unsigned long ErrorInvalidWindowHandle = 1400;

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

    // How often each question was asked.
    size_t textReads() const { return m_textReads; }
    size_t pathReads() const { return m_pathReads; }

    native::Window foregroundWindow() override;
    native::Window shellWindow() override;
    void topLevelWindows(std::vector<native::Window>& windows) override;
    uint32_t windowStyle(native::Window window) override;
    uint32_t windowProcessId(native::Window window, unsigned long& error) override;
    PathResult modulePath(uint32_t processId, std::wstring& path) override;
    PathResult imagePath(uint32_t processId, std::wstring& path) override;
    bool windowText(native::Window window, size_t bufferUnits, std::wstring& text,
                    unsigned long& error) override;

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
};
