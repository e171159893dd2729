#pragma once
#include <string>

#include "base/Registry.h"
#include "shared/TCShrdApi.h"

// One way of reaching a web server: directly, or through a named HTTP proxy.
class TCSHRD_API ProxySettings {
public:
    enum ConnectionType { Direct = 0, Proxy = 1 };

    // WinHTTP's access types, as toWinHttpProxyInfo fills them in
    // (WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_ACCESS_TYPE_NAMED_PROXY).
    static constexpr unsigned long AccessTypeNoProxy = 1;
    static constexpr unsigned long AccessTypeNamedProxy = 3;
    static constexpr int BufferSize = 1024; // wide characters of the proxy text
    static constexpr int DefaultPort = 80;

    ProxySettings();                                  // direct, no name, port 0
    explicit ProxySettings(const std::wstring& text); // as fromString
    ProxySettings(ConnectionType type, const std::wstring& name, int port);
    virtual ~ProxySettings();
    ProxySettings(const ProxySettings& other);
    ProxySettings& operator=(const ProxySettings& other);

    ConnectionType getConnectionType() const { return m_type; }
    std::wstring getProxyName() const { return m_name; }
    int getProxyPort() const { return m_port; }
    void setProxyName(const std::wstring& name) { m_name = name; }
    void setProxyPort(int port) { m_port = port; }
    // Direct also empties the name and sets the port to 0.
    void setConnectionType(ConnectionType type);

    // From "ProxyName" (default empty), "ProxyPort" (default 0) and
    // "ConnectionType" ("Proxy" for a proxy, anything else direct) under
    // keyPath, of HKEY_LOCAL_MACHINE when machine is true, else of
    // HKEY_CURRENT_USER.
    void readFromRegistry(bool machine, const std::wstring& keyPath = Registry::SoftwareKey);
    // To HKEY_CURRENT_USER keyPath: "ConnectionType" "Proxy" or "Direct",
    // "ProxyName", "ProxyPort" (empty and 0 for direct). False when a value
    // could not be written.
    bool writeToRegistry(const std::wstring& keyPath = Registry::SoftwareKey) const;

    // Lower-cased and cleaned (Tools::cleanString): empty changes nothing;
    // "direct" is direct; anything else a proxy "name[:port]", port 80 when
    // missing, 0 or not a port number. A leading "proxy " (as toString
    // writes it), "http=" (an entry of a per-scheme list) or "http://" is
    // not part of the name.
    void fromString(const std::wstring& text);
    // "DIRECT", or "PROXY " + name + ":" + port.
    std::wstring toString() const;

    // Fills WinHTTP's proxy option (a WINHTTP_PROXY_INFO): direct is no
    // proxy; a proxy is named by the text "name:port", kept in this object,
    // which must outlive the request that uses it. No bypass list.
    template <class ProxyInfo>
    void toWinHttpProxyInfo(ProxyInfo* info)
    {
        if (m_type == Direct) {
            info->dwAccessType = AccessTypeNoProxy;
            info->lpszProxy = nullptr;
        } else {
            info->dwAccessType = AccessTypeNamedProxy;
            info->lpszProxy = formatProxyText();
        }
        info->lpszProxyBypass = nullptr;
    }

private:
    wchar_t* formatProxyText();

    ConnectionType m_type = Direct;
    wchar_t m_buffer[BufferSize];
    std::wstring m_name;
    int m_port = 0;
};
