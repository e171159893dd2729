#include "base/AntiMsgRepeater.h"

#include <initializer_list>

namespace {

std::wstring stringOrEmpty(const Msg& msg, const wchar_t* name)
{
    std::wstring value;
    msg.getAttributeValue(name, value);
    return value;
}

bool sameStrings(const Msg& a, const Msg& b, std::initializer_list<const wchar_t*> names)
{
    for (const wchar_t* name : names) {
        if (stringOrEmpty(a, name) != stringOrEmpty(b, name))
            return false;
    }
    return true;
}

int intOrZero(const Msg& msg, const wchar_t* name)
{
    int value = 0;
    msg.getAttributeValue(name, value);
    return value;
}

} // namespace

AntiMsgRepeater::AntiMsgRepeater() = default;
AntiMsgRepeater::~AntiMsgRepeater() = default;

void AntiMsgRepeater::setLastSentMsgDetails(const Msg* msg)
{
    if (msg != nullptr)
        m_lastSentMsg = *msg;
}

bool AntiMsgRepeater::isEquivalentToLastSentMsg(const Msg* msg) const
{
    if (msg == nullptr)
        return false;
    const Msg& last = m_lastSentMsg;
    if (msg->getType() != last.getType())
        return false;
    switch (msg->getType()) {
    case Msg::SYSTEM_STATE_CHANGE:
        return sameStrings(*msg, last, {L"SystemState"});
    case Msg::APPLICATION_CHANGE: {
        ByteArray* newHash = nullptr;
        ByteArray* lastHash = nullptr;
        if (msg->getAttributeValue(L"ApplicationHash", newHash) &&
            last.getAttributeValue(L"ApplicationHash", lastHash) && *newHash != *lastHash)
            return false;
        return sameStrings(*msg, last, {L"ContextString1", L"ContextString2", L"ContextString3"});
    }
    case Msg::PLUGIN_INFO:
        return intOrZero(*msg, L"HWND") == intOrZero(last, L"HWND") &&
               sameStrings(
                   *msg, last,
                   {L"ContextString1", L"ContextString2", L"ContextString3", L"PluginInfoQuality"});
    default:
        return true;
    }
}
