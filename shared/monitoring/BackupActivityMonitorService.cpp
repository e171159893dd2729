#include "shared/monitoring/BackupActivityMonitorService.h"

#include <memory>

#include "shared/monitoring/System.h"
#include "shared/monitoring/SystemChangeService.h"

constexpr unsigned BackupActivityMonitorService::CheckEveryMs;

BackupActivityMonitorService::BackupActivityMonitorService(System& system) : m_system(system) {}

BackupActivityMonitorService::~BackupActivityMonitorService() = default;

bool BackupActivityMonitorService::setup()
{
    setTimer(CheckEveryMs, Timer::Repeating);
    return true;
}

bool BackupActivityMonitorService::canProcessMsg(Msg& msg)
{
    return msg.getType() == Msg::SYSTEM_CHANGE_SERVICE;
}

bool BackupActivityMonitorService::processMsg(Msg&)
{
    if (const TopLevelWindow* window = m_system.getActiveWindow())
        m_lastProcessId = window->getProcessID();
    return true;
}

void BackupActivityMonitorService::onTimer()
{
    const UserStatus& status = m_system.getUserStatus();
    if (status.locked() || status.idle())
        return;
    const TopLevelWindow* window = m_system.getActiveWindow();
    if (window == nullptr || window->getProcessID() == m_lastProcessId)
        return;
    std::unique_ptr<Msg> msg(new Msg());
    msg->setType(Msg::SYSTEM_EVENT);
    msg->setAttributeValue(L"EventID", SystemChangeService::ProcessChanged);
    sendMessage(msg.release(), CommunicationDevice::Internal);
}
