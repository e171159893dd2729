#include "client/GUIStatusUpdateService.h"

#include "base/Msg.h"

GUIStatusUpdateService::GUIStatusUpdateService(System& system) : m_system(system) {}

int GUIStatusUpdateService::updateCode(int msgType)
{
    switch (msgType) {
    case Msg::SYSTEM_CHANGE_SERVICE:
        return 0;
    case Msg::CONNECTION_STATUS_CHANGE:
        return 1;
    case Msg::CLIENT_PROFILE_CHANGE:
        return 2;
    default:
        return -1;
    }
}

bool GUIStatusUpdateService::canProcessMsg(Msg& msg)
{
    return updateCode(msg.getType()) >= 0;
}

bool GUIStatusUpdateService::processMsg(Msg& msg)
{
    int code = updateCode(msg.getType());
    if (code >= 0 && m_window != nullptr && windowAlive(m_window))
        notifyWindow(m_window, code);
    return true;
}

bool GUIStatusUpdateService::windowAlive(native::Window window)
{
    return windowExists(window);
}

void GUIStatusUpdateService::notifyWindow(native::Window window, int code)
{
    sendUpdate(window, code);
}
