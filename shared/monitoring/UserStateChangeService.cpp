#include "shared/monitoring/UserStateChangeService.h"

#include <memory>
#include <string>

#include "shared/monitoring/System.h"
#include "shared/monitoring/SystemChangeService.h"

constexpr unsigned UserStateChangeService::CheckEveryMs;

UserStateChangeService::UserStateChangeService(System& system) : m_system(system) {}

UserStateChangeService::~UserStateChangeService() = default;

bool UserStateChangeService::setup()
{
    return true;
}

bool UserStateChangeService::canProcessMsg(Msg&)
{
    return false;
}

bool UserStateChangeService::processMsg(Msg&)
{
    return true;
}

Msg* UserStateChangeService::event(int eventId)
{
    Msg* msg = new Msg();
    msg->setType(Msg::SYSTEM_EVENT);
    msg->setAttributeValue(L"EventID", eventId);
    return msg;
}

void UserStateChangeService::send(Msg* msg)
{
    sendMessage(msg, CommunicationDevice::Internal);
}

void UserStateChangeService::onPhoneCall(const wchar_t* reason)
{
    std::unique_ptr<Msg> msg(event(SystemChangeService::PhoneCallStarted));
    if (reason != nullptr)
        msg->setAttributeValue(L"ContextString1", std::wstring(reason));
    send(msg.release());
}

void UserStateChangeService::stopPhoneCall()
{
    send(event(SystemChangeService::PhoneCallEnded));
}

void UserStateChangeService::atMeeting(const wchar_t* reason, int durationSeconds)
{
    std::unique_ptr<Msg> msg(event(SystemChangeService::MeetingStarted));
    // The reason is required; a caller that has none gets an empty one
    // rather than a crash.
    msg->setAttributeValue(L"ContextString1", std::wstring(reason == nullptr ? L"" : reason));
    msg->setAttributeValue(L"Duration", durationSeconds);
    send(msg.release());
    setTimer(CheckEveryMs, Timer::Repeating);
}

void UserStateChangeService::stopMeeting()
{
    send(event(SystemChangeService::MeetingEnded));
    killTimer();
}

void UserStateChangeService::enablePrivacy(int durationSeconds)
{
    std::unique_ptr<Msg> msg(event(SystemChangeService::PrivateTimeStarted));
    msg->setAttributeValue(L"Duration", durationSeconds);
    send(msg.release());
    setTimer(CheckEveryMs, Timer::Repeating);
}

void UserStateChangeService::stopPrivacy()
{
    send(event(SystemChangeService::PrivateTimeEnded));
    killTimer();
}

void UserStateChangeService::onTimer()
{
    const UserStatus& status = m_system.getUserStatus();
    const int64_t now = m_system.getClock().now();
    if (now < status.start() + status.duration())
        return;
    if (status.atMeeting())
        stopMeeting();
    else if (status.isPrivate())
        stopPrivacy();
}
