#pragma once
#include <list>
#include <string>

#include "shared/server/ProxyDiscovery.h"
#include "shared/server/ProxySettings.h"
#include "shared/TCShrdApi.h"

// The candidate proxy settings for reaching a server, from four sources.
class TCSHRD_API ProxySettingsFactory {
public:
    enum SettingsSource {
        RegistryMachine = 0,
        RegistryUser = 1,
        InternetExplorer = 2,
        AutoDetect = 3
    };

    // The key of the earlier versions' settings, under HKEY_LOCAL_MACHINE
    // (RegistryMachine) and HKEY_CURRENT_USER (RegistryUser).
    static const wchar_t* const EarlierVersionsKey; // "Software\\Brelmot\\Tavelin"

    // "HKLM", "HKCU", "IE", "AUTO"; empty for any other value.
    static const wchar_t* getSourceLabel(SettingsSource source);

    // Appends the candidates of the source for host:port to out, in the
    // order found. Never throws; what finds nothing is traced.
    static void get_settings(SettingsSource source, const std::wstring& host, int port,
                             std::list<ProxySettings>& out);
    // The same with the registry key and the platform given.
    static void get_settings(SettingsSource source, const std::wstring& host, int port,
                             std::list<ProxySettings>& out, const std::wstring& registryKey,
                             ProxyDiscovery& discovery);

    // The entries of a ";"-separated proxy list as candidates. Entries of a
    // per-scheme list ("https=host:port") for another scheme than http are
    // left out: the server is reached over http.
    static void addProxyList(const std::wstring& list, std::list<ProxySettings>& out);
};
