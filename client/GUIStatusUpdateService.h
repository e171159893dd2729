#pragma once
#include "base/NativeHandle.h"
#include "shared/framework/Service.h"

class System;

// Tells the status window about system changes (code 0), connection status
// changes (1) and client profile changes (2) with the registered message
// "WM_SYSTEM_INFO_UPDATE". Runs inside the framework's pulse on the window's
// own thread, so the window reads the System at once and without locks.
class GUIStatusUpdateService : public Service {
public:
    explicit GUIStatusUpdateService(System& system);

    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override;
    // Sends the code to the window when one is set and still exists; true.
    bool processMsg(Msg& msg) override;

    void setStatusWindow(native::Window window) { m_window = window; }
    native::Window getStatusWindow() const { return m_window; }
    System& getSystem() { return m_system; }

    // The code for a message type: 0, 1, 2, or -1 for the others.
    static int updateCode(int msgType);

protected:
    // Hands the code to the window, and tells whether it still exists.
    // Operating-system half by default.
    virtual void notifyWindow(native::Window window, int code);
    virtual bool windowAlive(native::Window window);

private:
    // Operating-system half, in win32/ and posix/GUIStatusUpdateService.cpp.
    static bool windowExists(native::Window window);
    static void sendUpdate(native::Window window, int code);

    System& m_system;
    native::Window m_window = nullptr;
};
