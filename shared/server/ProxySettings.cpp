#include "shared/server/ProxySettings.h"

#include <cwchar>
#include <vector>

#include "base/Tools.h"

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
constexpr unsigned long ProxySettings::AccessTypeNoProxy;
constexpr unsigned long ProxySettings::AccessTypeNamedProxy;

ProxySettings::ProxySettings()
{
    m_buffer[0] = L'\0';
}

ProxySettings::ProxySettings(const std::wstring& text) : ProxySettings()
{
    fromString(text);
}

ProxySettings::ProxySettings(ConnectionType type, const std::wstring& name, int port)
    : m_type(type), m_name(name), m_port(port)
{
    m_buffer[0] = L'\0';
}

ProxySettings::~ProxySettings() = default;

ProxySettings::ProxySettings(const ProxySettings& other)
    : m_type(other.m_type), m_name(other.m_name), m_port(other.m_port)
{
    // The proxy text belongs to a request being prepared with the other object.
    m_buffer[0] = L'\0';
}

ProxySettings& ProxySettings::operator=(const ProxySettings& other)
{
    m_type = other.m_type;
    m_name = other.m_name;
    m_port = other.m_port;
    return *this;
}

void ProxySettings::setConnectionType(ConnectionType type)
{
    m_type = type;
    if (type == Direct) {
        m_name.clear();
        m_port = 0;
    }
}

namespace {

Registry::RootKey rootOf(bool machine)
{
    return machine ? Registry::LocalMachine : Registry::CurrentUser;
}

bool startsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The decimal port at the start of text, 0 when there is none or it cannot
// be a port.
int portOf(const std::wstring& text)
{
    long value = 0;
    size_t i = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        value = value * 10 + (text[i] - L'0');
        if (value > 65535)
            return 0;
        ++i;
    }
    return static_cast<int>(value);
}

} // namespace

void ProxySettings::readFromRegistry(bool machine, const std::wstring& keyPath)
{
    Registry registry(rootOf(machine), keyPath);
    m_name = registry.read(L"ProxyName", L"");
    m_port = registry.read(L"ProxyPort", 0);
    m_type = registry.read(L"ConnectionType", L"") == L"Proxy" ? Proxy : Direct;
}

bool ProxySettings::writeToRegistry(const std::wstring& keyPath) const
{
    Registry registry(Registry::CurrentUser, keyPath);
    if (m_type == Proxy)
        return registry.write(L"ConnectionType", L"Proxy") & registry.write(L"ProxyName", m_name) &
               registry.write(L"ProxyPort", m_port);
    return registry.write(L"ConnectionType", L"Direct") & registry.write(L"ProxyName", L"") &
           registry.write(L"ProxyPort", 0);
}

void ProxySettings::fromString(const std::wstring& text)
{
    std::wstring clean = text;
    Tools::stringToLower(clean);
    clean = Tools::cleanString(clean);
    if (clean.empty())
        return;
    if (clean == L"direct") {
        setConnectionType(Direct);
        return;
    }
    for (const wchar_t* prefix : {L"proxy ", L"http=", L"http://"}) {
        if (startsWith(clean, prefix))
            clean = Tools::cleanString(clean.substr(std::wcslen(prefix)));
    }
    m_type = Proxy;
    std::vector<std::wstring> parts;
    Tools::splitString(clean, parts, L":");
    m_name = parts.empty() ? std::wstring() : parts[0];
    m_port = parts.size() < 2 ? 0 : portOf(parts[1]);
    if (m_port == 0)
        m_port = DefaultPort;
}

std::wstring ProxySettings::toString() const
{
    if (m_type == Direct)
        return L"DIRECT";
    return L"PROXY " + m_name + L":" + std::to_wstring(m_port);
}

wchar_t* ProxySettings::formatProxyText()
{
    // A name too long for the buffer is cut rather than overrun it; such a
    // proxy cannot be reached anyway.
    const std::wstring text = m_name + L":" + std::to_wstring(m_port);
    const size_t n = text.size() < static_cast<size_t>(BufferSize) ? text.size() : BufferSize - 1;
    text.copy(m_buffer, n);
    m_buffer[n] = L'\0';
    return m_buffer;
}
