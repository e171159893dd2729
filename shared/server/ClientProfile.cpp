#include "shared/server/ClientProfile.h"

#include <vector>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/Msg.h"
#include "base/Registry.h"
#include "base/SourceLocation.h"

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

bool ClientProfile::isKnownSetting(const std::wstring& name)
{
    for (const Setting& s : KnownSettings)
        if (name == *s.name)
            return true;
    return false;
}

void ClientProfile::extractClientProfileInfo(const Msg& msg)
{
    deleteData();
    copyData(msg);
    removeIntAttribute(L"MsgType");
    removeIntAttribute(L"ConnectionID");

    // The server is outside input, and what it names here becomes a value
    // name under the user's key: a name holding "\" would reach into a
    // subkey, and any other name could overwrite the client's own values
    // there (the saved sign-in, the proxy). So only the settings the client
    // knows are kept and stored; the rest is dropped and named in the trace.
    std::vector<std::wstring> ignored;
    std::vector<std::wstring> unknownInts;
    for (const auto& attribute : m_ints)
        if (!isKnownSetting(attribute.first))
            unknownInts.push_back(attribute.first);
    for (const std::wstring& name : unknownInts) {
        removeIntAttribute(name);
        ignored.push_back(printable(name));
    }
    for (const auto& attribute : m_strings)
        ignored.push_back(printable(attribute.first) + L" (text)");
    for (const auto& attribute : m_byteArrays)
        ignored.push_back(printable(attribute.first) + L" (bytes)");
    m_strings.clear();
    while (getByteArrayAttributeCount() > 0)
        removeByteArrayAttribute(m_byteArrays[0].first);

    Registry user(Registry::CurrentUser, m_keyPath);
    for (const auto& attribute : m_ints)
        user.write(attribute.first, static_cast<int>(attribute.second));

    if (!ignored.empty()) {
        std::wstring names;
        for (const std::wstring& name : ignored) {
            if (!names.empty())
                names += L", ";
            names += name;
        }
        Event event(1063301, L"Client profile settings ignored", Event::Warning,
                    TC_AT(L"ClientProfile::extractClientProfileInfo"));
        event.addDetails(L"Ignored", names);
        Logger::Trace(event);
    }
}

std::wstring ClientProfile::printable(const std::wstring& name)
{
    // A name is shown, not obeyed: control characters could break the log
    // line, and a name may be as long as a whole reply.
    const size_t limit = 100;
    std::wstring out = L"\"";
    for (size_t i = 0; i < name.size() && i < limit; ++i) {
        const wchar_t c = name[i];
        out += (c < 0x20 || c == 0x7f) ? L'?' : c;
    }
    if (name.size() > limit)
        out += L"...";
    return out + L"\"";
}
