#include "client/GUIStatusUpdateService.h"

#include "base/win32/WindowsSupport.h"
#include "client/win32/ClientMessages.h"

bool GUIStatusUpdateService::windowExists(native::Window window)
{
    return IsWindow(window) != FALSE;
}

void GUIStatusUpdateService::sendUpdate(native::Window window, int code)
{
    SendMessageW(window, ClientMessages::systemInfoUpdate(), static_cast<WPARAM>(code), 0);
}
