#include "shared/server/ProxyDiscovery.h"

// Without WinHTTP there is no browser whose settings could be read and no
// discovery to run: an empty configuration, and a look-up that fails as
// auto-detection does when it finds nothing. The factory then traces what it
// would trace on a machine without proxies.
bool ProxyDiscovery::browserConfig(BrowserConfig& out, unsigned long& error)
{
    out = BrowserConfig();
    error = 0;
    return true;
}

ProxyDiscovery::Lookup ProxyDiscovery::proxyForUrl(const std::wstring& url,
                                                   const std::wstring& autoConfigUrl)
{
    Lookup result;
    result.sessionOpened = true;
    result.succeeded = false;
    result.error = AutoDetectionFailed;
    return result;
}
