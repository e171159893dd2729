#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "base/Registry.h"
#include "shared/server/ProxySettingsFactory.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

// The platform as a test wants it: canned answers, and a record of the
// look-ups asked for.
class FakeDiscovery : public ProxyDiscovery {
public:
    bool browserConfig(BrowserConfig& out, unsigned long& error) override
    {
        if (configError != 0) {
            error = configError;
            return false;
        }
        out = config;
        return true;
    }
    Lookup proxyForUrl(const std::wstring& url, const std::wstring& autoConfigUrl) override
    {
        asked.push_back(url + L" " + (autoConfigUrl.empty() ? L"(detect)" : autoConfigUrl));
        return lookup;
    }
    BrowserConfig config;
    unsigned long configError = 0;
    Lookup lookup;
    std::vector<std::wstring> asked;
};

ProxyDiscovery::Lookup found(const std::wstring& proxy)
{
    ProxyDiscovery::Lookup l;
    l.sessionOpened = true;
    l.succeeded = true;
    l.hasProxy = !proxy.empty();
    l.proxy = proxy;
    return l;
}

ProxyDiscovery::Lookup failed(unsigned long error, bool opened = true)
{
    ProxyDiscovery::Lookup l;
    l.sessionOpened = opened;
    l.error = error;
    return l;
}

std::vector<std::wstring> texts(const std::list<ProxySettings>& list)
{
    std::vector<std::wstring> out;
    for (const ProxySettings& s : list)
        out.push_back(s.toString());
    return out;
}

class ProxySettingsFactoryTest : public ::testing::Test {
protected:
    std::list<ProxySettings> get(ProxySettingsFactory::SettingsSource source)
    {
        std::list<ProxySettings> out{ProxySettings(ProxySettings::Proxy, L"already", 1)};
        ProxySettingsFactory::get_settings(source, L"hello.example", 8080, out, key.path(),
                                           discovery);
        EXPECT_EQ(out.front().getProxyName(), L"already") << "earlier candidates must stay";
        out.pop_front();
        return out;
    }

    testsupport::TestKey key{L"ProxySettingsFactoryTest"};
    testsupport::TestKey machineKey{L"ProxySettingsFactoryTest", Registry::LocalMachine};
    FakeDiscovery discovery;
    testsupport::EventRecorder events;
};

TEST_F(ProxySettingsFactoryTest, Labels)
{
    EXPECT_STREQ(ProxySettingsFactory::getSourceLabel(ProxySettingsFactory::RegistryMachine),
                 L"HKLM");
    EXPECT_STREQ(ProxySettingsFactory::getSourceLabel(ProxySettingsFactory::RegistryUser), L"HKCU");
    EXPECT_STREQ(ProxySettingsFactory::getSourceLabel(ProxySettingsFactory::InternetExplorer),
                 L"IE");
    EXPECT_STREQ(ProxySettingsFactory::getSourceLabel(ProxySettingsFactory::AutoDetect), L"AUTO");
    EXPECT_STREQ(ProxySettingsFactory::EarlierVersionsKey, L"Software\\Brelmot\\Tavelin");
}

TEST_F(ProxySettingsFactoryTest, RegistrySourcesGiveOneCandidateEach)
{
    Registry user(Registry::CurrentUser, key.path());
    user.write(L"ProxyName", L"user.proxy");
    user.write(L"ProxyPort", 3128);
    user.write(L"ConnectionType", L"Proxy");
    EXPECT_EQ(texts(get(ProxySettingsFactory::RegistryUser)),
              std::vector<std::wstring>({L"PROXY user.proxy:3128"}));

    Registry machine(Registry::LocalMachine, machineKey.path());
    machine.write(L"ProxyName", L"machine.proxy");
    const auto list = get(ProxySettingsFactory::RegistryMachine);
    ASSERT_EQ(list.size(), 1u);
    // No port: the server's; no "Proxy" type: direct (which forgets nothing
    // here, as the values are taken as they stand).
    EXPECT_EQ(list.front().getConnectionType(), ProxySettings::Direct);
    EXPECT_EQ(list.front().getProxyName(), L"machine.proxy");
    EXPECT_EQ(list.front().getProxyPort(), 8080);
    EXPECT_EQ(events.count(1063603), 0u);
}

TEST_F(ProxySettingsFactoryTest, AnEmptyProxyNameGivesNoCandidate)
{
    Registry(Registry::CurrentUser, key.path()).write(L"ProxyName", L"");
    Registry(Registry::LocalMachine, machineKey.path()).write(L"ProxyName", L"");
    EXPECT_TRUE(get(ProxySettingsFactory::RegistryUser).empty());
    EXPECT_TRUE(get(ProxySettingsFactory::RegistryMachine).empty());
    const auto traced = events.withId(1063603);
    ASSERT_EQ(traced.size(), 2u);
    EXPECT_EQ(traced[0].description, L"No HKCU proxy settings for hello.example:8080");
    EXPECT_EQ(traced[1].description, L"No HKLM proxy settings for hello.example:8080");
}

TEST_F(ProxySettingsFactoryTest, ABrowserListOfTwoGivesTwoCandidatesInOrder)
{
    discovery.config.hasProxy = true;
    discovery.config.proxy = L"first.proxy:8080;Second.Proxy";
    EXPECT_EQ(texts(get(ProxySettingsFactory::InternetExplorer)),
              std::vector<std::wstring>({L"PROXY first.proxy:8080", L"PROXY second.proxy:80"}));
    EXPECT_TRUE(discovery.asked.empty());
    EXPECT_EQ(events.count(1061406), 0u);
}

TEST_F(ProxySettingsFactoryTest, APerSchemeBrowserListKeepsTheHttpEntries)
{
    discovery.config.hasProxy = true;
    discovery.config.proxy = L"https=secure.proxy:443;http=plain.proxy:3128;ftp=files.proxy:21";
    EXPECT_EQ(texts(get(ProxySettingsFactory::InternetExplorer)),
              std::vector<std::wstring>({L"PROXY plain.proxy:3128"}));
}

TEST_F(ProxySettingsFactoryTest, TheBrowsersScriptIsAskedForTheServer)
{
    discovery.config.hasAutoConfigUrl = true;
    discovery.config.autoConfigUrl = L"http://config.example/proxy.pac";
    discovery.lookup = found(L"a.proxy:1;b.proxy:2");
    EXPECT_EQ(texts(get(ProxySettingsFactory::InternetExplorer)),
              std::vector<std::wstring>({L"PROXY a.proxy:1", L"PROXY b.proxy:2"}));
    EXPECT_EQ(discovery.asked,
              std::vector<std::wstring>({L"http://hello.example http://config.example/proxy.pac"}));
}

TEST_F(ProxySettingsFactoryTest, BrowserFailuresAreTraced)
{
    discovery.configError = 5;
    EXPECT_TRUE(get(ProxySettingsFactory::InternetExplorer).empty());
    EXPECT_EQ(
        events.find(1061401).description,
        L"ProxySettingsFactory: IE Settings - Error in WinHttpGetIEProxyConfigForCurrentUser");
    EXPECT_NE(events.find(1061401).details.find(L"System Error ID: 5"), std::wstring::npos);
    EXPECT_EQ(events.find(1061406).description, L"No IE proxy settings for hello.example:8080");

    discovery.configError = 0;
    discovery.config.hasAutoConfigUrl = true;
    discovery.config.autoConfigUrl = L"http://config.example/proxy.pac";
    discovery.lookup = failed(8, false);
    get(ProxySettingsFactory::InternetExplorer);
    EXPECT_EQ(events.find(1061402).description,
              L"ProxySettingsFactory: IE Settings - Error in WinHttpOpen");

    discovery.lookup = failed(ProxyDiscovery::AutoDetectionFailed);
    get(ProxySettingsFactory::InternetExplorer);
    EXPECT_EQ(events.find(1061403).description, L"No IE proxy settings for hello.example:8080");
    EXPECT_EQ(events.find(1061403).type, Event::Info);

    discovery.lookup = failed(12167); // the script could not be downloaded
    get(ProxySettingsFactory::InternetExplorer);
    EXPECT_EQ(events.find(1061404).description,
              L"ProxySettingsFactory: IE Settings - Error in WinHttpGetProxyForUrl");
    EXPECT_NE(events.find(1061404).details.find(L"URL:http://hello.example"), std::wstring::npos);
    EXPECT_EQ(events.count(1061406), 4u);
}

TEST_F(ProxySettingsFactoryTest, AutoDetectionTakesTheWholeText)
{
    discovery.lookup = found(L"wpad.proxy:8081;other:1");
    const auto list = get(ProxySettingsFactory::AutoDetect);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front().getProxyName(), L"wpad.proxy");
    EXPECT_EQ(list.front().getProxyPort(), 8081);
    EXPECT_EQ(discovery.asked, std::vector<std::wstring>({L"http://hello.example (detect)"}));
}

TEST_F(ProxySettingsFactoryTest, AutoDetectionOutcomesAreTraced)
{
    discovery.lookup = failed(ProxyDiscovery::AutoDetectionFailed);
    EXPECT_TRUE(get(ProxySettingsFactory::AutoDetect).empty());
    EXPECT_EQ(events.find(1061408).description, L"No AUTO proxy settings for hello.example:8080");
    EXPECT_EQ(events.find(1061408).type, Event::Info);

    discovery.lookup = failed(6, false);
    get(ProxySettingsFactory::AutoDetect);
    EXPECT_EQ(events.find(1061407).description,
              L"ProxySettingsFactory: AutoProxy Settings - Error in WinHttpOpen");

    discovery.lookup = failed(12002);
    get(ProxySettingsFactory::AutoDetect);
    EXPECT_EQ(events.find(1061409).description,
              L"ProxySettingsFactory: AutoProxy Settings - Error in WinHttpGetProxyForUrl");
    EXPECT_NE(events.find(1061409).details.find(L"URL:http://hello.example"), std::wstring::npos);

    discovery.lookup = found(L"");
    EXPECT_TRUE(get(ProxySettingsFactory::AutoDetect).empty());
    EXPECT_EQ(events.find(1061410).description,
              L"ProxySettingsFactory: AutoProxy Settings - NULL proxy value");
}

TEST_F(ProxySettingsFactoryTest, AnUnknownSourceAddsNothing)
{
    discovery.lookup = found(L"x:1");
    EXPECT_TRUE(get(static_cast<ProxySettingsFactory::SettingsSource>(7)).empty());
    EXPECT_TRUE(events.all().empty());
}

// The platform's own half: natively it has no browser settings and finds
// nothing to detect; on Windows this is Wine's WinHTTP on a machine without
// a proxy.
TEST_F(ProxySettingsFactoryTest, ThePlatformsOwnDiscoveryOnAMachineWithoutProxies)
{
    ProxyDiscovery platform;
    std::list<ProxySettings> out;
    ProxySettingsFactory::get_settings(ProxySettingsFactory::AutoDetect, L"hello.invalid", 80, out,
                                       key.path(), platform);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(events.count(1061408), 1u) << "auto-detection must fail with 12180";
}

} // namespace
