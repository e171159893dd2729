#include "client/GUIStatusUpdateService.h"

// There are no windows natively: nothing is ever sent.
bool GUIStatusUpdateService::windowExists(native::Window)
{
    return false;
}

void GUIStatusUpdateService::sendUpdate(native::Window, int) {}
