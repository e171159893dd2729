#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/NativeHandle.h"
#include "shared/TCShrdApi.h"

// The few questions the system model asks the desktop it watches. The real
// desktop answers them on Windows; a scripted one stands in for it in tests
// and in the native build. Every operation answers for the moment it is
// called: a window may close, and its process end, between two calls.
class TCSHRD_API Desktop {
public:
    // Style bits of top-level windows, as Windows numbers them.
    static constexpr uint32_t StyleVisible = 0x10000000;   // WS_VISIBLE
    static constexpr uint32_t StyleMinimised = 0x20000000; // WS_MINIMIZE

    // How a look-up of a process's executable path ended.
    enum class PathLookup {
        Found,      // path holds the full path
        OpenDenied, // the process could not be opened: access denied
        OpenFailed, // the process could not be opened otherwise (it may have ended)
        ReadFailed, // opened, but the path could not be read
        NoLibrary,  // the library holding the call could not be loaded
        NoFunction, // the library lacks the call
    };

    // The outcome of a look-up: what happened and the system error code
    // behind it (0 when it worked).
    struct PathResult {
        PathLookup status = PathLookup::ReadFailed;
        unsigned long error = 0;
    };

    virtual ~Desktop();

    // The window the user works in; null when there is none.
    virtual native::Window foregroundWindow() = 0;
    // The shell's desktop window; null when no shell registered one.
    virtual native::Window shellWindow() = 0;
    // Every top-level window, visible or not, in the desktop's order;
    // windows is cleared first.
    virtual void topLevelWindows(std::vector<native::Window>& windows) = 0;
    // The window's style bits; 0 for a window that no longer exists.
    virtual uint32_t windowStyle(native::Window window) = 0;
    // The id of the process that owns the window; 0, with error set, when
    // it cannot be had (the window has gone).
    virtual uint32_t windowProcessId(native::Window window, unsigned long& error) = 0;
    // The full path of the process's main module, read through a handle
    // opened for query and memory reading, however long the path.
    virtual PathResult modulePath(uint32_t processId, std::wstring& path) = 0;
    // The full path of the process's image through the system's
    // "QueryFullProcessImageNameW" (looked up at run time), with a handle
    // opened for limited query only; works for processes that refuse the
    // other way.
    virtual PathResult imagePath(uint32_t processId, std::wstring& path) = 0;
    // The window's text as the system gives it into a buffer of bufferUnits
    // UTF-16 code units: at most bufferUnits - 1 of them, so a long text is
    // cut (possibly between the two halves of a surrogate pair). False,
    // with error set, when it cannot be read; an empty text is true.
    virtual bool windowText(native::Window window, size_t bufferUnits, std::wstring& text,
                            unsigned long& error) = 0;

    // What the presence monitors ask.

    // How far opening the desktop that receives input, and reading its
    // name, came.
    enum class DesktopAccess {
        Readable,   // opened and its name read
        OpenFailed, // could not be opened (the secure desktop of a locked workstation)
        NameFailed, // opened, but its name could not be read
    };

    // Milliseconds since the system started, the 32-bit count that wraps
    // after 49.7 days, in which the last input time is given.
    virtual uint32_t tickCount() = 0;
    // The tick count of the session's last keyboard or mouse input. False,
    // with error set, when it cannot be had.
    virtual bool lastInputTick(uint32_t& tick, unsigned long& error) = 0;
    // Whether the system says a screen saver is running; false when it
    // cannot say.
    virtual bool screenSaverRunning() = 0;
    // Opens the desktop that receives input, with the most access granted,
    // reads its name into a buffer of nameBufferBytes bytes, and closes it
    // again. name is set only when Readable; error is the system's code of
    // the step that failed (0 when Readable).
    virtual DesktopAccess inputDesktop(size_t nameBufferBytes, std::wstring& name,
                                       unsigned long& error) = 0;
    // Whether the desktop of that name, in this process's window station,
    // can be opened (it is closed again at once); error set when not.
    virtual bool openDesktop(const std::wstring& name, unsigned long& error) = 0;

    // The desktop of this process: the real one on Windows; natively a
    // scripted desktop that starts empty.
    static Desktop& system();
};
