#include <gtest/gtest.h>

#include <string>

#include "base/Registry.h"
#include "shared/server/ProxySettings.h"
#include "testsupport/TestSupport.h"

namespace {

// The fields WinHTTP's proxy option has, for the build without WinHTTP.
struct FakeProxyInfo {
    unsigned long dwAccessType = 0xdeadbeef;
    wchar_t* lpszProxy = reinterpret_cast<wchar_t*>(0x1);
    wchar_t* lpszProxyBypass = reinterpret_cast<wchar_t*>(0x1);
};

TEST(ProxySettingsTest, DefaultIsDirectWithoutNameOrPort)
{
    ProxySettings s;
    EXPECT_EQ(s.getConnectionType(), ProxySettings::Direct);
    EXPECT_EQ(s.getProxyName(), L"");
    EXPECT_EQ(s.getProxyPort(), 0);
    EXPECT_EQ(s.toString(), L"DIRECT");
}

TEST(ProxySettingsTest, DirectInUpperCaseWithATrailingBlankIsDirect)
{
    ProxySettings s(ProxySettings::Proxy, L"old", 3128);
    s.fromString(L"DIRECT ");
    EXPECT_EQ(s.getConnectionType(), ProxySettings::Direct);
    EXPECT_EQ(s.getProxyName(), L"");
    EXPECT_EQ(s.getProxyPort(), 0);
}

TEST(ProxySettingsTest, PortZeroBecomesEightyAndTheNameIsLowerCased)
{
    ProxySettings s(L"Proxy.Example:0");
    EXPECT_EQ(s.getConnectionType(), ProxySettings::Proxy);
    EXPECT_EQ(s.getProxyName(), L"proxy.example");
    EXPECT_EQ(s.getProxyPort(), 80);
}

TEST(ProxySettingsTest, TextForms)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* name;
        int port;
    } cases[] = {
        {L"cache.corp", L"cache.corp", 80},
        {L"cache.corp:3128", L"cache.corp", 3128},
        {L"cache.corp:abc", L"cache.corp", 80},
        {L"cache.corp:99999", L"cache.corp", 80},
        {L"cache.corp:8080:extra", L"cache.corp", 8080},
        {L" ;cache.corp:8080;", L"cache.corp", 8080},
        {L"PROXY p:8080", L"p", 8080},
        {L"http=cache.corp:81", L"cache.corp", 81},
        {L"http://cache.corp:82", L"cache.corp", 82},
    };
    for (const Case& c : cases) {
        ProxySettings s(c.text);
        EXPECT_EQ(s.getConnectionType(), ProxySettings::Proxy) << c.text;
        EXPECT_EQ(s.getProxyName(), c.name) << c.text;
        EXPECT_EQ(s.getProxyPort(), c.port) << c.text;
    }
}

TEST(ProxySettingsTest, EmptyTextChangesNothing)
{
    ProxySettings s(ProxySettings::Proxy, L"keep", 1234);
    s.fromString(L"  ::; ");
    EXPECT_EQ(s.getConnectionType(), ProxySettings::Proxy);
    EXPECT_EQ(s.getProxyName(), L"keep");
    EXPECT_EQ(s.getProxyPort(), 1234);
}

TEST(ProxySettingsTest, ToStringOfAProxy)
{
    EXPECT_EQ(ProxySettings(ProxySettings::Proxy, L"p", 8080).toString(), L"PROXY p:8080");
    // What toString writes reads back as the same setting.
    ProxySettings back(ProxySettings(ProxySettings::Proxy, L"p", 8080).toString());
    EXPECT_EQ(back.getProxyName(), L"p");
    EXPECT_EQ(back.getProxyPort(), 8080);
}

TEST(ProxySettingsTest, SettingDirectForgetsNameAndPort)
{
    ProxySettings s(ProxySettings::Proxy, L"p", 8080);
    s.setConnectionType(ProxySettings::Direct);
    EXPECT_EQ(s.getProxyName(), L"");
    EXPECT_EQ(s.getProxyPort(), 0);
}

TEST(ProxySettingsTest, WinHttpOptionOfDirectAndOfAProxy)
{
    ProxySettings direct;
    FakeProxyInfo info;
    direct.toWinHttpProxyInfo(&info);
    EXPECT_EQ(info.dwAccessType, ProxySettings::AccessTypeNoProxy);
    EXPECT_EQ(info.lpszProxy, nullptr);
    EXPECT_EQ(info.lpszProxyBypass, nullptr);

    ProxySettings proxy(ProxySettings::Proxy, L"cache.corp", 3128);
    FakeProxyInfo named;
    proxy.toWinHttpProxyInfo(&named);
    EXPECT_EQ(named.dwAccessType, ProxySettings::AccessTypeNamedProxy);
    ASSERT_NE(named.lpszProxy, nullptr);
    EXPECT_EQ(std::wstring(named.lpszProxy), L"cache.corp:3128");
    EXPECT_EQ(named.lpszProxyBypass, nullptr);
}

TEST(ProxySettingsTest, AProxyNameLongerThanTheBufferIsCutNotOverrun)
{
    ProxySettings proxy(ProxySettings::Proxy, std::wstring(5000, L'a'), 80);
    FakeProxyInfo info;
    proxy.toWinHttpProxyInfo(&info);
    ASSERT_NE(info.lpszProxy, nullptr);
    EXPECT_EQ(std::wstring(info.lpszProxy), std::wstring(ProxySettings::BufferSize - 1, L'a'));
}

TEST(ProxySettingsTest, RegistryRoundTrip)
{
    testsupport::TestKey key(L"ProxySettingsTest");
    ProxySettings written(ProxySettings::Proxy, L"cache.corp", 3128);
    ASSERT_TRUE(written.writeToRegistry(key.path()));
    Registry registry(Registry::CurrentUser, key.path());
    EXPECT_EQ(registry.read(L"ConnectionType", L"?"), L"Proxy");
    EXPECT_EQ(registry.read(L"ProxyName", L"?"), L"cache.corp");
    EXPECT_EQ(registry.read(L"ProxyPort", -1), 3128);

    ProxySettings read;
    read.readFromRegistry(false, key.path());
    EXPECT_EQ(read.getConnectionType(), ProxySettings::Proxy);
    EXPECT_EQ(read.getProxyName(), L"cache.corp");
    EXPECT_EQ(read.getProxyPort(), 3128);

    ASSERT_TRUE(ProxySettings().writeToRegistry(key.path()));
    EXPECT_EQ(registry.read(L"ConnectionType", L"?"), L"Direct");
    EXPECT_EQ(registry.read(L"ProxyName", L"?"), L"");
    EXPECT_EQ(registry.read(L"ProxyPort", -1), 0);
    read.readFromRegistry(false, key.path());
    EXPECT_EQ(read.getConnectionType(), ProxySettings::Direct);
}

TEST(ProxySettingsTest, MissingValuesReadAsDirect)
{
    testsupport::TestKey key(L"ProxySettingsMissing", Registry::LocalMachine);
    ProxySettings s(ProxySettings::Proxy, L"old", 1);
    s.readFromRegistry(true, key.path());
    EXPECT_EQ(s.getConnectionType(), ProxySettings::Direct);
    EXPECT_EQ(s.getProxyName(), L"");
    EXPECT_EQ(s.getProxyPort(), 0);
}

} // namespace
