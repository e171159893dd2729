#include "shared/server/ProxyDiscovery.h"

#include "base/win32/WindowsSupport.h"

#include <winhttp.h>

namespace {

// Frees what WinHTTP allocated for a caller, whatever way the call ends.
struct GlobalText {
    LPWSTR text = nullptr;
    ~GlobalText()
    {
        if (text != nullptr)
            GlobalFree(text);
    }
};

struct Session {
    HINTERNET handle = nullptr;
    ~Session()
    {
        if (handle != nullptr)
            WinHttpCloseHandle(handle);
    }
};

} // namespace

bool ProxyDiscovery::browserConfig(BrowserConfig& out, unsigned long& error)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config)) {
        error = GetLastError();
        return false;
    }
    GlobalText autoConfigUrl{config.lpszAutoConfigUrl}, proxy{config.lpszProxy},
        bypass{config.lpszProxyBypass};
    out = BrowserConfig();
    out.autoDetect = config.fAutoDetect != FALSE;
    if (proxy.text != nullptr) {
        out.hasProxy = true;
        out.proxy = proxy.text;
    }
    if (autoConfigUrl.text != nullptr) {
        out.hasAutoConfigUrl = true;
        out.autoConfigUrl = autoConfigUrl.text;
    }
    return true;
}

ProxyDiscovery::Lookup ProxyDiscovery::proxyForUrl(const std::wstring& url,
                                                   const std::wstring& autoConfigUrl)
{
    Lookup result;
    Session session;
    session.handle = WinHttpOpen(L"Tavelin Client/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session.handle == nullptr) {
        result.error = GetLastError();
        return result;
    }
    result.sessionOpened = true;
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (autoConfigUrl.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = autoConfigUrl.c_str();
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetProxyForUrl(session.handle, url.c_str(), &options, &info)) {
        result.error = GetLastError();
        return result;
    }
    GlobalText proxy{info.lpszProxy}, bypass{info.lpszProxyBypass};
    result.succeeded = true;
    if (proxy.text != nullptr && proxy.text[0] != L'\0') {
        result.hasProxy = true;
        result.proxy = proxy.text;
    }
    return result;
}
