#include "shared/server/ServerResponseHandlerService.h"

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "shared/monitoring/System.h"

ServerResponseHandlerService::ServerResponseHandlerService(System& system) : m_system(system) {}

ServerResponseHandlerService::~ServerResponseHandlerService() = default;

bool ServerResponseHandlerService::canProcessMsg(Msg& msg)
{
    return msg.getType() == Msg::ACKNOWLEDGEMENT || msg.getType() == Msg::UPDATE;
}

bool ServerResponseHandlerService::processMsg(Msg& msg)
{
    Event event(1063201, L"Received Msg from server", Event::Info,
                TC_AT(L"ServerResponseHandlerService::processMsg"));
    event.addDetails(L"Msg Type", Msg::getTypeName(msg.getType()));
    Logger::Trace(event);
    if (msg.getType() != Msg::UPDATE)
        return true;

    int applicationId = 0;
    std::wstring filePath;
    if (msg.getAttributeValue(L"ApplicationID", applicationId) &&
        msg.getAttributeValue(L"FilePath", filePath) && !filePath.empty()) {
        // An id for an executable this client no longer knows is recorded
        // with it rather than thrown away.
        if (!m_system.exists(filePath.c_str()))
            m_system.addApplication(filePath.c_str(), applicationId);
        else
            m_system.setApplicationID(filePath.c_str(), applicationId);
    }
    int machineId = 0;
    if (msg.getAttributeValue(L"MachineID", machineId))
        m_system.getTavelinSessionDetails().setMachineID(machineId);
    return true;
}
