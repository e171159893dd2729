#pragma once
#include "shared/monitoring/Desktop.h"
#include "shared/TCShrdApi.h"

// The desktop of the interactive session, asked through the window manager
// and the process API.
class TCSHRD_API Win32Desktop : public Desktop {
public:
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
    bool screenSaverRunning() override;
    DesktopAccess inputDesktop(size_t nameBufferBytes, std::wstring& name,
                               unsigned long& error) override;
    bool openDesktop(const std::wstring& name, unsigned long& error) override;
};
