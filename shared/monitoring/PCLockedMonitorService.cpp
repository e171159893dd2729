#include "shared/monitoring/PCLockedMonitorService.h"

#include <memory>
#include <string>

#include "shared/monitoring/SystemChangeService.h"

constexpr unsigned PCLockedMonitorService::CheckEveryMs;
constexpr size_t PCLockedMonitorService::DesktopNameBufferBytes;

bool PCLockedMonitorService::s_lockSeen = false;
bool PCLockedMonitorService::s_lockReported = false;

namespace {
const unsigned long AccessDenied = 5; // ERROR_ACCESS_DENIED
}

PCLockedMonitorService::PCLockedMonitorService(Desktop& desktop) : m_desktop(desktop) {}

PCLockedMonitorService::~PCLockedMonitorService() = default;

bool PCLockedMonitorService::setup()
{
    setTimer(CheckEveryMs, Timer::Repeating);
    return true;
}

bool PCLockedMonitorService::canProcessMsg(Msg&)
{
    return false;
}

bool PCLockedMonitorService::processMsg(Msg&)
{
    return false;
}

void PCLockedMonitorService::forgetSamples()
{
    s_lockSeen = false;
    s_lockReported = false;
}

void PCLockedMonitorService::onTimer()
{
    if (isPCLocked()) {
        // One locked sample may be a passing switch of desktops; the second
        // one in a row counts.
        if (s_lockReported)
            return;
        if (s_lockSeen) {
            s_lockReported = true;
            send(SystemChangeService::Locked);
        } else {
            s_lockSeen = true;
        }
        return;
    }
    if (s_lockReported) {
        s_lockSeen = false;
        s_lockReported = false;
        send(SystemChangeService::Unlocked);
    }
}

bool PCLockedMonitorService::isPCLocked()
{
    return isScreenSaverActiveNT5() || !canAccessDesktop();
}

bool PCLockedMonitorService::isScreenSaverActiveNT5()
{
    return m_desktop.screenSaverRunning();
}

bool PCLockedMonitorService::canAccessDesktop()
{
    std::wstring name;
    unsigned long error = 0;
    switch (m_desktop.inputDesktop(DesktopNameBufferBytes, name, error)) {
    case Desktop::DesktopAccess::OpenFailed:
        return false;
    case Desktop::DesktopAccess::NameFailed:
        return error != AccessDenied;
    case Desktop::DesktopAccess::Readable:
        break;
    }
    return true;
}

bool PCLockedMonitorService::isScreenSaverActiveNT4()
{
    unsigned long error = 0;
    return m_desktop.openDesktop(L"screen-saver", error) || error == AccessDenied;
}

void PCLockedMonitorService::send(int eventId)
{
    std::unique_ptr<Msg> msg(new Msg());
    msg->setType(Msg::SYSTEM_EVENT);
    msg->setAttributeValue(L"EventID", eventId);
    sendMessage(msg.release(), CommunicationDevice::Internal);
}
