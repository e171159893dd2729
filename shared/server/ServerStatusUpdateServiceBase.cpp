#include "shared/server/ServerStatusUpdateServiceBase.h"

#include <memory>
#include <string>

#include "base/ByteArray.h"
#include "shared/monitoring/System.h"

constexpr int ServerStatusUpdateServiceBase::MeetingApplicationID;
constexpr int ServerStatusUpdateServiceBase::PhoneApplicationID;
constexpr int ServerStatusUpdateServiceBase::PrivateApplicationID;

namespace {

void declaredState(Msg& msg, int applicationId, const std::wstring& reason)
{
    msg.setType(Msg::APPLICATION_CHANGE);
    msg.setAttributeValue(L"ApplicationID", applicationId);
    msg.setAttributeValue(L"ContextString1", reason);
    msg.setAttributeValue(L"ContextString2", std::wstring());
    msg.setAttributeValue(L"ContextString3", std::wstring());
}

void systemState(Msg& msg, const wchar_t* state)
{
    msg.setType(Msg::SYSTEM_STATE_CHANGE);
    msg.setAttributeValue(L"SystemState", std::wstring(state));
}

} // namespace

ServerStatusUpdateServiceBase::ServerStatusUpdateServiceBase(System& system) : m_system(system) {}

ServerStatusUpdateServiceBase::~ServerStatusUpdateServiceBase() = default;

Msg* ServerStatusUpdateServiceBase::createCurrentStatusMsg()
{
    std::unique_ptr<Msg> msg(new Msg());
    const TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    msg->setAttributeValue(L"UserID", session.getUserID());
    msg->setAttributeValue(L"TavelUsername", session.getUserName());
    msg->setAttributeValue(L"EmailAddress", session.getUserName());
    if (session.getMachineID() == -1) {
        const MachineDetails& machine = m_system.getMachineDetails();
        msg->setAttributeValue(L"MachineName", machine.getMachineName());
        msg->setAttributeValue(L"MachineDomain", machine.getDomain());
    } else {
        msg->setAttributeValue(L"MachineID", session.getMachineID());
    }

    const UserStatus& status = m_system.getUserStatus();
    const bool inactive = status.locked() || status.idle();
    // A declared meeting counts only while the user is away from the
    // keyboard; a call while away, or always when the profile says so;
    // personal time hides the application only while the user is at it.
    if (status.isPrivate() && !inactive) {
        declaredState(*msg, PrivateApplicationID, std::wstring());
        return msg.release();
    }
    if (status.atMeeting() && inactive) {
        declaredState(*msg, MeetingApplicationID, status.reason());
        return msg.release();
    }
    if (status.onPhone() &&
        (inactive || session.getClientProfile().overrideActivityWhenOnPhone())) {
        declaredState(*msg, PhoneApplicationID, status.reason());
        return msg.release();
    }
    if (status.locked()) {
        systemState(*msg, L"SystemStateLocked");
        return msg.release();
    }
    if (status.idle()) {
        systemState(*msg, L"SystemStateIdle");
        return msg.release();
    }

    const Application* application = m_system.getActiveApplication();
    const TopLevelWindow* window = m_system.getActiveWindow();
    if (application == nullptr || window == nullptr)
        return nullptr;
    msg->setType(Msg::APPLICATION_CHANGE);
    msg->setAttributeValue(L"ContextString1", window->getParam1());
    msg->setAttributeValue(L"ContextString2", window->getParam2());
    msg->setAttributeValue(L"ContextString3", window->getParam3());
    msg->setAttributeValue(L"ApplicationHash", new ByteArray(*application->getHash()));
    const Version& version = application->getVersionInfo();
    if (application->getID() != -1) {
        // The server knows the application: the id stands for the rest.
        msg->setAttributeValue(L"ApplicationID", application->getID());
        msg->setAttributeValue(L"OriginalFilename", std::wstring(version.getOriginalFilename()));
        msg->setAttributeValue(L"CompanyName", std::wstring(version.getCompanyName()));
        return msg.release();
    }
    msg->setAttributeValue(L"OriginalFilename", std::wstring(version.getOriginalFilename()));
    msg->setAttributeValue(L"FileDescription", std::wstring(version.getFileDescription()));
    msg->setAttributeValue(L"InternalName", std::wstring(version.getInternalName()));
    msg->setAttributeValue(L"FileVersion", std::wstring(version.getFileVersion()));
    msg->setAttributeValue(L"ProductName", std::wstring(version.getProductName()));
    msg->setAttributeValue(L"ProductVersion", std::wstring(version.getProductVersion()));
    msg->setAttributeValue(L"CompanyName", std::wstring(version.getCompanyName()));
    msg->setAttributeValue(L"FilePath", application->getFileName().getFullPath());
    std::unique_ptr<ByteArray> icon(new ByteArray());
    application->getIcon().getIconBytes(*icon);
    msg->setAttributeValue(L"Icon", icon.release());
    return msg.release();
}
