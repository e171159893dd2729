#include "shared/monitoring/IdleUserMonitorService.h"

#include <cstdint>
#include <memory>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/SystemError.h"
#include "shared/monitoring/System.h"
#include "shared/monitoring/SystemChangeService.h"

constexpr int IdleUserMonitorService::IdleAfterMs;
constexpr int IdleUserMonitorService::IdleInCallAfterMs;
constexpr unsigned IdleUserMonitorService::CheckEveryMs;

IdleUserMonitorService::IdleUserMonitorService(System& system) : m_system(system) {}

IdleUserMonitorService::~IdleUserMonitorService() = default;

bool IdleUserMonitorService::setup()
{
    setTimer(CheckEveryMs, Timer::Repeating);
    return true;
}

bool IdleUserMonitorService::canProcessMsg(Msg&)
{
    return false;
}

bool IdleUserMonitorService::processMsg(Msg&)
{
    return false;
}

void IdleUserMonitorService::onTimer()
{
    Desktop& desktop = m_system.getDesktop();
    uint32_t lastInput = 0;
    unsigned long error = 0;
    if (!desktop.lastInputTick(lastInput, error)) {
        Event event(1060701, L"GetLastInputInfo failed", Event::Error,
                    TC_AT(L"IdleUserMonitorService::onTimer"));
        SystemError::set(error);
        event.addSystemErrorInfo();
        Logger::Trace(event);
        return;
    }
    // The tick count wraps every 49.7 days: the difference, read as a
    // signed number, is right across the wrap, and input stamped just after
    // the count was read comes out negative, which is not idle.
    const int32_t idleMs = static_cast<int32_t>(desktop.tickCount() - lastInput);
    const UserStatus& status = m_system.getUserStatus();
    const bool idle = ((status.onPhone() || status.atMeeting()) && idleMs > IdleInCallAfterMs) ||
                      idleMs > IdleAfterMs;
    setUserActiveFlag(!idle);
}

void IdleUserMonitorService::setUserActiveFlag(bool active)
{
    if (active == m_userActive)
        return;
    m_userActive = active;
    std::unique_ptr<Msg> msg(new Msg());
    msg->setType(Msg::SYSTEM_EVENT);
    msg->setAttributeValue(L"EventID", active ? SystemChangeService::BecameActive
                                              : SystemChangeService::BecameIdle);
    sendMessage(msg.release(), CommunicationDevice::Internal);
}
