#include "shared/server/ServerUserUpdateService.h"

#include <vector>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/SourceLocation.h"
#include "shared/monitoring/System.h"
#include "shared/server/ADGroup.h"
#include "shared/server/TavelinSessionDetails.h"
#include "shared/server/UserDetails.h"

bool ServerUserUpdateService::s_detailsTraced = false;
bool ServerUserUpdateService::s_updateSent = false;

ServerUserUpdateService::ServerUserUpdateService(System& system) : m_system(system) {}

ServerUserUpdateService::~ServerUserUpdateService() = default;

bool ServerUserUpdateService::setup()
{
    setTimer(5000, Timer::Repeating);
    return true;
}

bool ServerUserUpdateService::canProcessMsg(Msg&)
{
    return false;
}

bool ServerUserUpdateService::processMsg(Msg&)
{
    return false;
}

bool ServerUserUpdateService::userDetailsReady() const
{
    return m_system.getDomainUserDetails().isReady();
}

void ServerUserUpdateService::onTimer()
{
    if (!userDetailsReady())
        return;
    const UserDetails& details = m_system.getDomainUserDetails();
    if (!s_detailsTraced) {
        traceDetails(details);
        s_detailsTraced = true;
    }

    const TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    if (s_updateSent || !session.isLoggedOn() || session.isInAutoEnrollMode())
        return;
    sendMessage(buildUserInfoUpdate(details, session), CommunicationDevice::Http);
    Event event(1063401, L"Msg To Server:", Event::Info,
                TC_AT(L"ServerUserUpdateService::onTimer"));
    event.addDetails(L"MsgType", L"UserInfoUpdate");
    Logger::Trace(event);
    s_updateSent = true;
    killTimer();
}

Msg* ServerUserUpdateService::buildUserInfoUpdate(const UserDetails& details,
                                                  const TavelinSessionDetails& session)
{
    Msg* msg = new Msg();
    msg->setType(Msg::USER_INFO_UPDATE);
    msg->setAttributeValue(L"WindowsUserName", details.getUsername());
    msg->setAttributeValue(L"UserDomain", details.getDomain());
    msg->setAttributeValue(L"SID", details.getSID());
    msg->setAttributeValue(L"FirstName", details.getFirstName());
    msg->setAttributeValue(L"SurName", details.getLastName());
    msg->setAttributeValue(L"DisplayName", details.getDisplayName());
    msg->setAttributeValue(L"NamePrefix", details.getNamePrefix());
    msg->setAttributeValue(L"JobTitle", details.getTitle());
    msg->setAttributeValue(L"ManagerSID", details.getManagerSID());
    msg->setAttributeValue(L"Department", details.getDepartment());
    msg->setAttributeValue(L"Division", details.getDivision());
    msg->setAttributeValue(L"TelephoneNumber", details.getTelephone());
    msg->setAttributeValue(L"MobileNumber", details.getMobileNumber());
    const std::vector<ADGroup> groups = details.getADGroupList();
    for (size_t i = 0; i < groups.size() && i < static_cast<size_t>(MaxGroups); ++i) {
        const std::wstring suffix = L"_" + std::to_wstring(i);
        msg->setAttributeValue(L"ADGroupName" + suffix, groups[i].getName());
        msg->setAttributeValue(L"ADGroupGUID" + suffix, groups[i].getGUID());
    }
    msg->setAttributeValue(L"UserID", session.getUserID());
    msg->setAttributeValue(L"TavelUsername", session.getUserName());
    msg->setAttributeValue(L"EmailAddress", session.getUserName());
    return msg;
}

void ServerUserUpdateService::traceDetails(const UserDetails& details)
{
    Event event(1063402, L"User's Windows Details", Event::Info,
                TC_AT(L"ServerUserUpdateService::onTimer"));
    event.addDetails(L"Username", details.getUsername());
    event.addDetails(L"Domain", details.getDomain());
    event.addDetails(L"SID", details.getSID());
    event.addDetails(L"GUID", details.getGUID());
    event.addDetails(L"DName", details.getFullDName());
    event.addDetails(L"DisplayName", details.getDisplayName());
    event.addDetails(L"Email", details.getEmail());
    event.addDetails(L"NamePrefix", details.getNamePrefix());
    event.addDetails(L"Title", details.getTitle());
    event.addDetails(L"FirstName", details.getFirstName());
    event.addDetails(L"LastName", details.getLastName());
    event.addDetails(L"ManagerSID", details.getManagerSID());
    event.addDetails(L"Department", details.getDepartment());
    event.addDetails(L"Division", details.getDivision());
    event.addDetails(L"Telephone", details.getTelephone());
    event.addDetails(L"MobileNumber", details.getMobileNumber());
    for (const ADGroup& group : details.getADGroupList()) {
        event.addDetails(L"ADGroupName", group.getName());
        event.addDetails(L"ADGroupGUID", group.getGUID());
    }
    Logger::Trace(event);
}
