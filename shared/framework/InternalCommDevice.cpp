#include "shared/framework/InternalCommDevice.h"

InternalCommDevice::InternalCommDevice() = default;

InternalCommDevice::~InternalCommDevice()
{
    terminate(500);
}

void InternalCommDevice::pushMessage(Msg* msg)
{
    CommunicationDevice::pushMessage(msg, m_inQ, m_inLock);
}
