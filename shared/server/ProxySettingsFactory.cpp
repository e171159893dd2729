#include "shared/server/ProxySettingsFactory.h"

#include <vector>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/Registry.h"
#include "base/Tools.h"

const wchar_t* const ProxySettingsFactory::EarlierVersionsKey = L"Software\\Brelmot\\Tavelin";

namespace {

std::wstring hostAndPort(const std::wstring& format, const std::wstring& label,
                         const std::wstring& host, int port)
{
    // format holds "%s" for the label (when given), then host and port.
    std::wstring out;
    std::vector<std::wstring> values;
    if (!label.empty())
        values.push_back(label);
    values.push_back(host);
    values.push_back(std::to_wstring(port));
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() &&
            (format[i + 1] == L's' || format[i + 1] == L'd')) {
            if (next < values.size())
                out += values[next++];
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

void traceInfo(uint32_t id, const std::wstring& text, const wchar_t* function)
{
    Event event(id, text, Event::Info, TC_AT(function));
    Logger::Trace(event);
}

void traceError(uint32_t id, const std::wstring& text, unsigned long error, const std::wstring& url,
                const wchar_t* function)
{
    Event event(id, text, TC_AT(function));
    if (!url.empty())
        event.addDetails(L"URL", url);
    Tools::setLastSystemError(error);
    event.addSystemErrorInfo();
    Logger::Trace(event);
}

void fromRegistry(ProxySettingsFactory::SettingsSource source, const std::wstring& host, int port,
                  std::list<ProxySettings>& out, const std::wstring& registryKey)
{
    const Registry registry(source == ProxySettingsFactory::RegistryMachine ? Registry::LocalMachine
                                                                            : Registry::CurrentUser,
                            registryKey);
    const std::wstring name = registry.read(L"ProxyName", L"");
    if (name.empty()) {
        Event event(1063603,
                    hostAndPort(L"No %s proxy settings for %s:%d",
                                ProxySettingsFactory::getSourceLabel(source), host, port),
                    TC_AT(L"ProxySettingsFactory::get_settings"));
        Logger::Trace(event);
        return;
    }
    const int proxyPort = registry.read(L"ProxyPort", port);
    const bool proxy = registry.read(L"ConnectionType", L"") == L"Proxy";
    out.emplace_back(proxy ? ProxySettings::Proxy : ProxySettings::Direct, name, proxyPort);
}

void fromBrowser(const std::wstring& host, int port, std::list<ProxySettings>& out,
                 ProxyDiscovery& discovery)
{
    const wchar_t* const function = L"ProxySettingsFactory::get_settings";
    const size_t before = out.size();
    ProxyDiscovery::BrowserConfig config;
    unsigned long error = 0;
    if (!discovery.browserConfig(config, error)) {
        traceError(
            1061401,
            L"ProxySettingsFactory: IE Settings - Error in WinHttpGetIEProxyConfigForCurrentUser",
            error, std::wstring(), function);
    } else {
        if (config.hasProxy)
            ProxySettingsFactory::addProxyList(config.proxy, out);
        if (config.hasAutoConfigUrl) {
            const std::wstring url = L"http://" + host;
            const ProxyDiscovery::Lookup found = discovery.proxyForUrl(url, config.autoConfigUrl);
            if (!found.sessionOpened) {
                traceError(1061402, L"ProxySettingsFactory: IE Settings - Error in WinHttpOpen",
                           found.error, std::wstring(), function);
            } else if (found.succeeded) {
                if (found.hasProxy)
                    ProxySettingsFactory::addProxyList(found.proxy, out);
            } else if (found.error == ProxyDiscovery::AutoDetectionFailed) {
                traceInfo(1061403, hostAndPort(L"No IE proxy settings for %s:%d", L"", host, port),
                          function);
            } else {
                traceError(1061404,
                           L"ProxySettingsFactory: IE Settings - Error in WinHttpGetProxyForUrl",
                           found.error, url, function);
            }
        }
    }
    if (out.size() == before) {
        Event event(1061406, hostAndPort(L"No IE proxy settings for %s:%d", L"", host, port),
                    TC_AT(function));
        Logger::Trace(event);
    }
}

void autoDetected(const std::wstring& host, int port, std::list<ProxySettings>& out,
                  ProxyDiscovery& discovery)
{
    const wchar_t* const function = L"ProxySettingsFactory::get_settings";
    const std::wstring url = L"http://" + host;
    const ProxyDiscovery::Lookup found = discovery.proxyForUrl(url, std::wstring());
    if (!found.sessionOpened) {
        traceError(1061407, L"ProxySettingsFactory: AutoProxy Settings - Error in WinHttpOpen",
                   found.error, std::wstring(), function);
    } else if (!found.succeeded) {
        if (found.error == ProxyDiscovery::AutoDetectionFailed)
            traceInfo(1061408, hostAndPort(L"No AUTO proxy settings for %s:%d", L"", host, port),
                      function);
        else
            traceError(1061409,
                       L"ProxySettingsFactory: AutoProxy Settings - Error in WinHttpGetProxyForUrl",
                       found.error, url, function);
    } else if (!found.hasProxy) {
        Event event(1061410, L"ProxySettingsFactory: AutoProxy Settings - NULL proxy value",
                    TC_AT(function));
        Logger::Trace(event);
    } else {
        // The whole text is one candidate, as earlier versions took it.
        out.emplace_back(found.proxy);
    }
}

} // namespace

const wchar_t* ProxySettingsFactory::getSourceLabel(SettingsSource source)
{
    switch (source) {
    case RegistryMachine:
        return L"HKLM";
    case RegistryUser:
        return L"HKCU";
    case InternetExplorer:
        return L"IE";
    case AutoDetect:
        return L"AUTO";
    }
    return L"";
}

void ProxySettingsFactory::addProxyList(const std::wstring& list, std::list<ProxySettings>& out)
{
    std::vector<std::wstring> entries;
    Tools::splitString(list, entries, L";");
    for (const std::wstring& entry : entries) {
        std::wstring lower = entry;
        Tools::stringToLower(lower);
        lower = Tools::cleanString(lower);
        const size_t equals = lower.find(L'=');
        if (equals != std::wstring::npos && Tools::cleanString(lower.substr(0, equals)) != L"http")
            continue;
        if (lower.empty())
            continue;
        out.emplace_back(lower);
    }
}

void ProxySettingsFactory::get_settings(SettingsSource source, const std::wstring& host, int port,
                                        std::list<ProxySettings>& out)
{
    ProxyDiscovery discovery;
    get_settings(source, host, port, out, EarlierVersionsKey, discovery);
}

void ProxySettingsFactory::get_settings(SettingsSource source, const std::wstring& host, int port,
                                        std::list<ProxySettings>& out,
                                        const std::wstring& registryKey, ProxyDiscovery& discovery)
{
    switch (source) {
    case RegistryMachine:
    case RegistryUser:
        fromRegistry(source, host, port, out, registryKey);
        break;
    case InternetExplorer:
        fromBrowser(host, port, out, discovery);
        break;
    case AutoDetect:
        autoDetected(host, port, out, discovery);
        break;
    }
}
