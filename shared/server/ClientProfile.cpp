#include "shared/server/ClientProfile.h"

#include "base/Msg.h"
#include "base/Registry.h"

const wchar_t* const ClientProfile::HideClientReportLinks = L"HideClientReportLinks";
const wchar_t* const ClientProfile::HideClientGUI = L"HideClientGUI";
const wchar_t* const ClientProfile::EnablePrivateMode = L"EnablePrivateMode";
const wchar_t* const ClientProfile::MaximumPrivateTimeSpan = L"MaximumPrivateTimeSpan";
const wchar_t* const ClientProfile::MaximumMeetingTimeSpan = L"MaximumMeetingTimeSpan";
const wchar_t* const ClientProfile::AllowPhoneOverrideActivity = L"AllowPhoneOverrideActivity";

namespace {

const int Missing = -1;

struct Setting {
    const wchar_t* const* name;
    int defaultValue;
};

const Setting KnownSettings[] = {
    {&ClientProfile::HideClientReportLinks, 0},   {&ClientProfile::HideClientGUI, 0},
    {&ClientProfile::EnablePrivateMode, 0},       {&ClientProfile::MaximumPrivateTimeSpan, 5},
    {&ClientProfile::MaximumMeetingTimeSpan, 60}, {&ClientProfile::AllowPhoneOverrideActivity, 0},
};

} // namespace

ClientProfile::ClientProfile() : ClientProfile(Registry::SoftwareKey) {}

ClientProfile::ClientProfile(const std::wstring& keyPath) : m_keyPath(keyPath)
{
    readFromRegistry();
}

ClientProfile::~ClientProfile() = default;

void ClientProfile::readFromRegistry()
{
    for (const Setting& s : KnownSettings)
        setAttributeValue(*s.name, readSetting(*s.name, s.defaultValue));
}

int ClientProfile::readSetting(const wchar_t* name, int defaultValue) const
{
    int result = Registry(Registry::LocalMachine, m_keyPath).read(name, Missing);
    if (result == Missing)
        result = Registry(Registry::CurrentUser, m_keyPath).read(name, Missing);
    if (result == Missing)
        result = defaultValue;
    return result;
}

int ClientProfile::value(const wchar_t* name, int defaultValue) const
{
    int result = defaultValue;
    getAttributeValue(name, result);
    return result;
}

bool ClientProfile::hideLinks() const
{
    return value(HideClientReportLinks, 0) == 1;
}
bool ClientProfile::hideGUI() const
{
    return value(HideClientGUI, 0) == 1;
}
bool ClientProfile::enablePrivateMode() const
{
    return value(EnablePrivateMode, 0) == 1;
}
int ClientProfile::getMaximumPrivateMinutes() const
{
    return value(MaximumPrivateTimeSpan, 5);
}
int ClientProfile::getMaximumMeetingMinutes() const
{
    return value(MaximumMeetingTimeSpan, 60);
}
bool ClientProfile::overrideActivityWhenOnPhone() const
{
    return value(AllowPhoneOverrideActivity, 0) == 1;
}

void ClientProfile::extractClientProfileInfo(const Msg& msg)
{
    deleteData();
    copyData(msg);
    removeIntAttribute(L"MsgType");
    removeIntAttribute(L"ConnectionID");

    Registry user(Registry::CurrentUser, m_keyPath);
    for (const auto& attribute : m_ints)
        user.write(attribute.first, static_cast<int>(attribute.second));
    for (const auto& attribute : m_strings)
        user.write(attribute.first, attribute.second);
    for (const auto& attribute : m_byteArrays)
        user.write(attribute.first, *attribute.second);
}
