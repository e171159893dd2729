#include "shared/framework/Service.h"

#include <memory>

#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/FrameworkException.h"

Service::Service() = default;
Service::~Service() = default;

void Service::onTimer() {}

void Service::killTimer()
{
    m_timer.reset();
    m_timer.clearElapsed();
}

void Service::sendMessage(Msg* msg, CommunicationDevice::CommMechanism mechanism)
{
    if (m_pFramework == nullptr) {
        delete msg; // handed over by the caller, who no longer holds it
        throw FrameworkException(1061101, L"Framework parameter not initialised",
                                 TC_AT(L"Service::sendMessage"));
    }
    m_pFramework->sendMessage(msg, mechanism);
}
