#include "shared/server/ServerPingService.h"

#include <memory>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "shared/server/HttpCommDevice.h"

constexpr unsigned ServerPingService::PingIntervalMs;

ServerPingService::ServerPingService(System& system)
    : ServerPingService(system, [this](System&) { return createCurrentStatusMsg(); })
{}

ServerPingService::ServerPingService(System& system, StatusBuilder currentStatus)
    : ServerStatusUpdateServiceBase(system), m_currentStatus(std::move(currentStatus))
{}

ServerPingService::~ServerPingService() = default;

bool ServerPingService::setup()
{
    return true;
}

bool ServerPingService::canProcessMsg(Msg& msg)
{
    return msg.getType() == Msg::HTTP_COMM_DEVICE;
}

bool ServerPingService::processMsg(Msg& msg)
{
    int event = -1;
    if (msg.getAttributeValue(L"HttpCommEvent", event) && event == HttpCommDevice::Success)
        setTimer(PingIntervalMs, Timer::Repeating);
    return true;
}

void ServerPingService::onTimer()
{
    std::unique_ptr<Msg> status;
    try {
        if (m_currentStatus)
            status.reset(m_currentStatus(m_system));
    } catch (const Exception&) {
        status.reset();
    }
    if (!status) {
        Event event(1063101, L"Error occurred creating ping msg", Event::Error,
                    TC_AT(L"ServerPingService::onTimer"));
        Logger::Trace(event);
        return;
    }
    sendMessage(status.release(), CommunicationDevice::Http);
}
