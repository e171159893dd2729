#include "shared/server/ServerStatusUpdateService.h"

#include <memory>
#include <string>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/Tools.h"

namespace {

std::wstring text(const Msg& msg, const wchar_t* name)
{
    std::wstring value;
    return msg.getAttributeValue(name, value) ? value : std::wstring();
}

} // namespace

ServerStatusUpdateService::ServerStatusUpdateService(System& system)
    : ServerStatusUpdateServiceBase(system)
{}

ServerStatusUpdateService::~ServerStatusUpdateService() = default;

bool ServerStatusUpdateService::setup()
{
    return true;
}

bool ServerStatusUpdateService::canProcessMsg(Msg& msg)
{
    return msg.getType() == Msg::SYSTEM_CHANGE_SERVICE;
}

bool ServerStatusUpdateService::processMsg(Msg& msg)
{
    if (msg.getType() != Msg::SYSTEM_CHANGE_SERVICE)
        return true;
    int event = 0;
    msg.getAttributeValue(L"SystemChangeEvent", event);
    // The values are those of SystemChangeService::SystemChangeEvent.
    switch (event) {
    case 0:
        onWindowChange();
        break;
    case 1:
        onContextInfoChange();
        break;
    case 2:
        onUserIdle();
        break;
    case 3:
        onUserActive();
        break;
    case 4:
        onUserAtMeeting();
        break;
    case 5:
        onUserOnPhone();
        break;
    case 6:
        onUserPrivacy();
        break;
    case 7:
        onUserStopMeeting();
        break;
    case 8:
        onUserStopPhone();
        break;
    case 9:
        onUserStopPrivacy();
        break;
    case 10:
        onPCLock();
        break;
    case 11:
        onPCUnlock();
        break;
    case 12:
        onDelayedSystemChange();
        break;
    default:
        break;
    }
    return true;
}

// A foreground or title change reaches the server only once it has settled,
// through the delayed change.
void ServerStatusUpdateService::onWindowChange() {}
void ServerStatusUpdateService::onContextInfoChange() {}

void ServerStatusUpdateService::onDelayedSystemChange()
{
    sendCurrentStatusToServer();
}
void ServerStatusUpdateService::onUserIdle()
{
    sendCurrentStatusToServer();
}
void ServerStatusUpdateService::onUserActive()
{
    sendCurrentStatusToServer();
}
void ServerStatusUpdateService::onUserAtMeeting()
{
    sendCurrentStatusToServer();
}
void ServerStatusUpdateService::onUserOnPhone()
{
    sendCurrentStatusToServer();
}
void ServerStatusUpdateService::onUserPrivacy()
{
    sendCurrentStatusToServer();
}
void ServerStatusUpdateService::onUserStopMeeting()
{
    sendCurrentStatusToServer();
}
void ServerStatusUpdateService::onUserStopPhone()
{
    sendCurrentStatusToServer();
}
void ServerStatusUpdateService::onUserStopPrivacy()
{
    sendCurrentStatusToServer();
}
void ServerStatusUpdateService::onPCLock()
{
    sendCurrentStatusToServer();
}
void ServerStatusUpdateService::onPCUnlock()
{
    sendCurrentStatusToServer();
}

void ServerStatusUpdateService::sendCurrentStatusToServer()
{
    if (Msg* msg = createCurrentStatusMsg())
        sendMessageIfNecessary(msg);
}

void ServerStatusUpdateService::sendMessageIfNecessary(Msg* msg)
{
    std::unique_ptr<Msg> owned(msg);
    if (!owned)
        return;
    if (m_repeater.isEquivalentToLastSentMsg(owned.get()))
        return;
    // Recorded before the noise test: dropped noise still counts as the
    // last message, so that its repeats are dropped by the repeat test.
    m_repeater.setLastSentMsgDetails(owned.get());
    if (!isMsgNecessary(owned.get()))
        return;

    Event event(1060903, L"Msg To Server:", Event::Info,
                TC_AT(L"ServerStatusUpdateService::sendMessageIfNecessary"));
    if (owned->getType() == Msg::SYSTEM_STATE_CHANGE) {
        event.addDetails(L"MsgType", L"StateChange");
        event.addDetails(L"SystemState", text(*owned, L"SystemState"));
    } else if (owned->getType() == Msg::APPLICATION_CHANGE) {
        event.addDetails(L"MsgType", L"AppChange");
        event.addDetails(L"OriginalFilename", text(*owned, L"OriginalFilename"));
        event.addDetails(L"S1", text(*owned, L"ContextString1"));
        event.addDetails(L"S2", text(*owned, L"ContextString2"));
        event.addDetails(L"S3", text(*owned, L"ContextString3"));
        for (const wchar_t* name : {L"FileDescription", L"InternalName", L"FileVersion",
                                    L"ProductName", L"ProductVersion", L"CompanyName", L"FilePath"})
            event.addDetails(name, text(*owned, name));
    }
    sendMessage(owned.release(), CommunicationDevice::Http);
    Logger::Trace(event);
}

bool ServerStatusUpdateService::isMsgNecessary(Msg* msg)
{
    if (msg == nullptr || msg->getType() != Msg::APPLICATION_CHANGE)
        return true;
    std::wstring company = text(*msg, L"CompanyName");
    std::wstring file = text(*msg, L"OriginalFilename");
    Tools::stringToLower(company);
    Tools::stringToLower(file);
    if (company.find(L"citrix") == std::wstring::npos ||
        file.find(L"wfshell.exe") == std::wstring::npos)
        return true;
    Event event(1060902, L"Citrix Idle Msg detected", Event::Info,
                TC_AT(L"ServerStatusUpdateService::isMsgNecessary"));
    Logger::Trace(event);
    return false;
}
