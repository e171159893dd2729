#pragma once
#include <string>
#include "shared/TCShrdApi.h"

// What the factory asks of the platform: the browser's proxy configuration
// and proxy discovery. On Windows these are WinHTTP's; natively there is no
// browser configuration (an empty one is reported) and discovery finds
// nothing (it fails as auto-detection does, with 12180). Tests stand in a
// fake for either.
class TCSHRD_API ProxyDiscovery {
public:
    static constexpr unsigned long AutoDetectionFailed =
        12180; // ERROR_WINHTTP_AUTODETECTION_FAILED

    // The current user's Internet Explorer proxy configuration.
    struct BrowserConfig {
        bool autoDetect = false;
        bool hasProxy = false;
        std::wstring proxy; // entries separated by ";"
        bool hasAutoConfigUrl = false;
        std::wstring autoConfigUrl;
    };
    // The proxy for one URL, found by an automatic-configuration script or by
    // auto-detection (DHCP and DNS).
    struct Lookup {
        bool sessionOpened = false; // false: the WinHTTP session could not be opened
        bool succeeded = false;
        unsigned long error = 0; // when the session or the look-up failed
        bool hasProxy = false;
        std::wstring proxy;
    };

    virtual ~ProxyDiscovery();
    // False with the system error when the configuration cannot be had.
    virtual bool browserConfig(BrowserConfig& out, unsigned long& error);
    // autoConfigUrl empty: auto-detection. Logs on automatically when the
    // script's server asks for credentials.
    virtual Lookup proxyForUrl(const std::wstring& url, const std::wstring& autoConfigUrl);
};
