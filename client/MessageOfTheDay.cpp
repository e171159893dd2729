#include "client/MessageOfTheDay.h"

#include "shared/server/TavelinSessionDetails.h"

MessageOfTheDay::MessageOfTheDay(const Registry& registry) : m_registry(registry) {}

std::wstring MessageOfTheDay::check(const TavelinSessionDetails& session, const std::wstring& motd)
{
    if (m_checked || !session.isLoggedOn() || session.isInAutoEnrollMode())
        return std::wstring();
    m_checked = true;
    if (motd.empty() || motd == m_registry.read(L"MOTD", std::wstring()))
        return std::wstring();
    m_registry.write(L"MOTD", motd);
    return motd;
}
