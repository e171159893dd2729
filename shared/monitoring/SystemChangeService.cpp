#include "shared/monitoring/SystemChangeService.h"

#include <memory>
#include <string>

#include "base/Event.h"
#include "base/Logger.h"
#include "shared/monitoring/GenericAppChangeService.h"

constexpr unsigned SystemChangeService::DelayedChangeMs;

namespace {

const wchar_t* const EventNames[] = {
    L"onWindowChange",        L"onContextInfoChange", L"onUserIdle",    L"onUserActive",
    L"onUserAtMeeting",       L"onUserOnPhone",       L"onUserPrivacy", L"onUserStopMeeting",
    L"onUserStopPhone",       L"onUserStopPrivacy",   L"onPCLock",      L"onPCUnlock",
    L"onDelayedSystemChange",
};

// Missing attributes read as empty (strings) and 0 (integers); an attribute
// of another kind counts as missing.
std::wstring text(const Msg& msg, const wchar_t* name, const wchar_t* missing = L"")
{
    std::wstring value;
    return msg.getAttributeValue(name, value) ? value : std::wstring(missing);
}

int number(const Msg& msg, const wchar_t* name)
{
    int value = 0;
    return msg.getAttributeValue(name, value) ? value : 0;
}

} // namespace

SystemChangeService::SystemChangeService(Desktop& desktop, const Clock& clock)
    : m_system(desktop, clock)
{
    m_system.refresh();
    armDelayedChange();
}

SystemChangeService::~SystemChangeService() = default;

const wchar_t* SystemChangeService::getEventName(int event)
{
    if (event < 0 || event >= static_cast<int>(sizeof EventNames / sizeof EventNames[0]))
        return nullptr;
    return EventNames[event];
}

void SystemChangeService::armDelayedChange()
{
    setTimer(DelayedChangeMs, Timer::OneShot);
}

bool SystemChangeService::setup()
{
    return true;
}

bool SystemChangeService::canProcessMsg(Msg& msg)
{
    const Msg::MsgType type = msg.getType();
    return type == Msg::PLUGIN_INFO || type == Msg::SYSTEM_EVENT;
}

bool SystemChangeService::processMsg(Msg& msg)
{
    if (msg.getType() == Msg::PLUGIN_INFO)
        processPlugInInfoMsg(msg);
    else
        processStateChangeMsg(msg);
    return true;
}

void SystemChangeService::onTimer()
{
    announce(DelayedSystemChange);
}

void SystemChangeService::announce(SystemChangeEvent event)
{
    traceEvent(getEventName(event));
    sendStateChangeMsg(event);
}

void SystemChangeService::processStateChangeMsg(Msg& msg)
{
    UserStatus& status = m_system.getUserStatus();
    // The declared states trace before the update, the detected ones after
    // it, so that the trace of a detected change already shows the new
    // state.
    switch (number(msg, L"EventID")) {
    case BecameIdle:
        status.idle(true);
        announce(UserIdle);
        break;
    case BecameActive:
        status.idle(false);
        announce(UserActive);
        break;
    case Locked:
        status.locked(true);
        announce(PCLock);
        break;
    case Unlocked:
        status.locked(false);
        announce(PCUnlock);
        break;
    case MeetingStarted:
        traceEvent(getEventName(UserAtMeeting));
        status.duration(number(msg, L"Duration"), m_system.getClock().now());
        status.atMeeting(true, text(msg, L"ContextString1"));
        sendStateChangeMsg(UserAtMeeting);
        break;
    case MeetingEnded:
        traceEvent(getEventName(UserStopMeeting));
        status.atMeeting(false);
        sendStateChangeMsg(UserStopMeeting);
        break;
    case PrivateTimeStarted:
        traceEvent(getEventName(UserPrivacy));
        status.duration(number(msg, L"Duration"), m_system.getClock().now());
        status.setPrivate(true);
        sendStateChangeMsg(UserPrivacy);
        break;
    case PrivateTimeEnded:
        traceEvent(getEventName(UserStopPrivacy));
        status.setPrivate(false);
        sendStateChangeMsg(UserStopPrivacy);
        break;
    case PhoneCallStarted:
        traceEvent(getEventName(UserOnPhone));
        status.onPhone(true, text(msg, L"ContextString1"));
        sendStateChangeMsg(UserOnPhone);
        break;
    case PhoneCallEnded:
        traceEvent(getEventName(UserStopPhone));
        status.onPhone(false);
        sendStateChangeMsg(UserStopPhone);
        break;
    case ProcessChanged:
    case WindowChanged:
    case WindowChangeAlso:
        m_system.refresh();
        announce(WindowChange);
        break;
    default:
        break;
    }
    armDelayedChange();
}

void SystemChangeService::processPlugInInfoMsg(Msg& msg)
{
    const std::wstring string1 = text(msg, L"ContextString1");
    const std::wstring string2 = text(msg, L"ContextString2");
    const std::wstring string3 = text(msg, L"ContextString3", L"Unspecified");
    const TopLevelWindow::PluginInfoQuality quality =
        TopLevelWindow::ConvertToPluginInfoQuality(text(msg, L"PluginInfoQuality"));
    const int window = number(msg, L"HWND");
    if (window == 0)
        return;
    const native::Window handle = GenericAppChangeService::intToHandle(window);
    const Context before = contextOf(handle);
    if (!m_system.setContextInfo(handle, string1, string2, string3, quality))
        return;
    // A window whose reports came too often keeps its strings 1 and 2, yet
    // the System still takes each differing report. Announcing those would
    // re-arm the delayed change every second for as long as such a window
    // (a title showing a running clock) stays in front, and the server
    // would never hear of it; only what the window now holds counts.
    if (contextOf(handle) == before)
        return;
    announce(ContextInfoChange);
    armDelayedChange();
}

SystemChangeService::Context SystemChangeService::contextOf(native::Window window) const
{
    const TopLevelWindow* record = m_system.findWindow(window);
    if (record == nullptr)
        return Context();
    return Context{true, record->getParam1(), record->getParam2(), record->getParam3(),
                   record->getPluginInfoQuality()};
}

void SystemChangeService::sendStateChangeMsg(SystemChangeEvent event)
{
    std::unique_ptr<Msg> msg(new Msg());
    msg->setType(Msg::SYSTEM_CHANGE_SERVICE);
    msg->setAttributeValue(L"SystemChangeEvent", static_cast<int>(event));
    sendMessage(msg.release(), CommunicationDevice::Internal);
}

void SystemChangeService::traceEvent(const wchar_t* name)
{
    if (name == nullptr)
        return;
    Event event(1061501, L"New Event:", Event::Info, TC_AT(L"SystemChangeService::traceEvent"));
    event.addDetails(L"Name", name);
    const UserStatus& status = m_system.getUserStatus();
    if (status.locked()) {
        event.addDetails(L"State", L"Locked");
    } else if (!status.idle()) {
        event.addDetails(L"State", L"Active");
        const Application* application = m_system.getActiveApplication();
        const TopLevelWindow* window = m_system.getActiveWindow();
        const Version* version = application == nullptr ? nullptr : &application->getVersionInfo();
        auto field = [version](const wchar_t* (Version::*get)() const) {
            return version == nullptr ? std::wstring() : std::wstring((version->*get)());
        };
        event.addDetails(L"OriginalFilename", field(&Version::getOriginalFilename));
        event.addDetails(L"S1", window == nullptr ? std::wstring() : window->getParam1());
        event.addDetails(L"S2", window == nullptr ? std::wstring() : window->getParam2());
        event.addDetails(L"S3", window == nullptr ? std::wstring() : window->getParam3());
        event.addDetails(L"FileDescription", field(&Version::getFileDescription));
        event.addDetails(L"InternalName", field(&Version::getInternalName));
        event.addDetails(L"FileVersion", field(&Version::getFileVersion));
        event.addDetails(L"ProductName", field(&Version::getProductName));
        event.addDetails(L"ProductVersion", field(&Version::getProductVersion));
        event.addDetails(L"CompanyName", field(&Version::getCompanyName));
        event.addDetails(L"FilePath", application == nullptr
                                          ? std::wstring()
                                          : application->getFileName().getFullPath());
    } else {
        event.addDetails(L"State", L"Idle");
    }
    Logger::Trace(event);
}
