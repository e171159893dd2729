#pragma once
#include "shared/monitoring/Desktop.h"

// The desktop of the interactive session, asked through the window manager
// and the process API.
class Win32Desktop : public Desktop {
public:
    WindowHandle foregroundWindow() override;
    WindowHandle shellWindow() override;
    void topLevelWindows(std::vector<WindowHandle>& windows) override;
    uint32_t windowStyle(WindowHandle window) override;
    uint32_t windowProcessId(WindowHandle window, unsigned long& error) override;
    PathResult modulePath(uint32_t processId, std::wstring& path) override;
    PathResult imagePath(uint32_t processId, std::wstring& path) override;
    bool windowText(WindowHandle window, size_t bufferUnits, std::wstring& text,
                    unsigned long& error) override;
};
