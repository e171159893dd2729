#include "shared/server/ClientProfileUpdateService.h"

#include "shared/monitoring/System.h"
#include "shared/server/TavelinSessionDetails.h"

ClientProfileUpdateService::ClientProfileUpdateService(System& system) : m_system(system) {}

ClientProfileUpdateService::~ClientProfileUpdateService() = default;

bool ClientProfileUpdateService::setup()
{
    return true;
}

bool ClientProfileUpdateService::canProcessMsg(Msg& msg)
{
    return msg.getType() == Msg::CONNECTION_STATUS_CHANGE ||
           msg.getType() == Msg::CLIENT_PROFILE_RESPONSE;
}

bool ClientProfileUpdateService::processMsg(Msg& msg)
{
    TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    if (msg.getType() == Msg::CONNECTION_STATUS_CHANGE) {
        // One request per change to Connected: the broadcasts of Connecting
        // and Authenticating may be read only after the session has become
        // Connected, and must not ask a second time; and a Connected that
        // has failed since asks nothing.
        int announced = static_cast<int>(session.getConnectionStatus());
        msg.getAttributeValue(L"ConnectionStatus", announced);
        if (announced != static_cast<int>(TavelinSessionDetails::ConnectionStatus::Connected) ||
            !session.isLoggedOn())
            return false;
        Msg* request = new Msg();
        request->setType(Msg::CLIENT_PROFILE_REQUEST);
        request->setAttributeValue(L"UserID", session.getUserID());
        sendMessage(request, CommunicationDevice::Http);
        return true;
    }
    if (msg.getType() == Msg::CLIENT_PROFILE_RESPONSE) {
        session.getClientProfile().extractClientProfileInfo(msg);
        Msg* change = new Msg();
        change->setType(Msg::CLIENT_PROFILE_CHANGE);
        change->setAttributeValue(L"ClientProfileUpdateEvent", 1);
        sendMessage(change, CommunicationDevice::Internal);
        return true;
    }
    return false;
}
