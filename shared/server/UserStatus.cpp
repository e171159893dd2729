#include "shared/server/UserStatus.h"

#include "base/Tools.h"

void UserStatus::onPhone(bool value)
{
    m_onPhone = value;
    m_reason.clear();
}

void UserStatus::onPhone(bool value, const std::wstring& reason)
{
    m_onPhone = value;
    m_reason = reason;
}

void UserStatus::atMeeting(bool value)
{
    m_atMeeting = value;
    m_reason.clear();
}

void UserStatus::atMeeting(bool value, const std::wstring& reason)
{
    m_atMeeting = value;
    m_reason = reason;
}

void UserStatus::duration(int seconds)
{
    duration(seconds, Tools::getCurrentTime());
}

void UserStatus::duration(int seconds, int64_t now)
{
    m_duration = seconds;
    m_start = now;
}
