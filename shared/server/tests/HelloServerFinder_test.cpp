// The device finding its submit server: hello servers, proxy sources, echo
// probes, and the hello reply read on its own.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <utility>
#include <vector>

#include "HttpCommDeviceFixture.h"
#include "shared/server/HelloServerFinder.h"

using namespace httptest;

namespace {

TEST_F(HttpCommDeviceTest, HelloRequestCarriesTheUserNameAndIsTriedDirectlyFirst)
{
    connect();
    ASSERT_GE(m_server.requests.size(), 3u);
    const Request& hello = m_server.requests[0];
    EXPECT_EQ(hello.path, L"/Hello");
    EXPECT_EQ(hello.timeout, 3u);
    EXPECT_EQ(hello.proxy.getConnectionType(), ProxySettings::Direct);
    EXPECT_EQ(hello.body, ByteArray(std::wstring(L"email=ann")));
    const Request& echo = m_server.requests[1];
    EXPECT_EQ(echo.path, L"/Tavelin/Echo");
    EXPECT_EQ(echo.host, L"submit");
    EXPECT_EQ(echo.timeout, 10u);
    EXPECT_EQ(echo.body, ByteArray("echo", 4));
    EXPECT_EQ(m_trace.find(1063603).description, L"Trying hello server hello:80 (DIRECT)");
    EXPECT_EQ(m_trace.find(1063604).description, L"Contacted hello server hello:80 (DIRECT)");
    EXPECT_EQ(m_trace.find(1063605).description, L"Trying server submit:8080");
    EXPECT_EQ(m_trace.find(1063606).description, L"Connected to server submit:8080");
}

TEST_F(HttpCommDeviceTest, HelloInfoEventCarriesTheHelloAnswer)
{
    m_device->resetConnection(L"ann", {{L"hello", 80}});
    ASSERT_TRUE(m_device->establishConnectability());
    auto inbound = m_device->takeInbound();
    ASSERT_EQ(inbound.size(), 1u);
    EXPECT_EQ(intOf(*inbound[0], L"HttpCommEvent"), HttpCommDevice::HelloInfo);
    std::wstring text;
    inbound[0]->getAttributeValue(L"HelloClientVersion", text);
    EXPECT_EQ(text, L"2.0");
    inbound[0]->getAttributeValue(L"HelloClientURL", text);
    EXPECT_EQ(text, L"http://get/");
    inbound[0]->getAttributeValue(L"HelloMOTD", text);
    EXPECT_EQ(text, L"Hello");
    inbound[0]->getAttributeValue(L"HelloReportsURL", text);
    EXPECT_EQ(text, L"http://rep/");
}

TEST_F(HttpCommDeviceTest, EveryProxySourceIsTriedInOrderWithItsLabelUntilOneReachesTheHelloServer)
{
    m_server.failHost[L"hello"] = HttpCommDevice::ConnectFailure;
    m_server.failHost[L"badproxy"] = HttpCommDevice::ConnectFailure;
    m_device->candidates[ProxySettingsFactory::RegistryUser] = {
        ProxySettings(ProxySettings::Proxy, L"badproxy", 3128)};
    m_device->candidates[ProxySettingsFactory::AutoDetect] = {
        ProxySettings(ProxySettings::Proxy, L"goodproxy", 8081)};
    m_device->resetConnection(L"ann", {{L"hello", 80}});

    ASSERT_TRUE(m_device->establishConnectability());
    std::vector<std::wstring> tried;
    for (const auto& e : m_trace.withId(1063603))
        tried.push_back(e.description);
    EXPECT_EQ(tried, (std::vector<std::wstring>{L"Trying hello server hello:80 (DIRECT)",
                                                L"Trying hello server badproxy:3128 (HKCU)",
                                                L"Trying hello server goodproxy:8081 (AUTO)"}));
    EXPECT_EQ(m_device->getProxySettings().toString(), L"PROXY goodproxy:8081");
    // The echo and later submissions go through the proxy that worked.
    EXPECT_EQ(m_server.requests.back().proxy.toString(), L"PROXY goodproxy:8081");
}

TEST_F(HttpCommDeviceTest, HelloReplyThatIsAWebPageCountsAsNoAnswer)
{
    m_server.helloText = "<html>server=http://submit:8080</html>";
    m_device->resetConnection(L"ann", {{L"hello", 80}, {L"second", 81}});
    EXPECT_FALSE(m_device->establishConnectability());
    EXPECT_EQ(m_trace.count(1063604), 0u);
    EXPECT_EQ(m_server.requests.size(), 2u) << "both hello servers asked, no echo";
}

TEST_F(HttpCommDeviceTest, FirstSubmitServerThatAnswersTheEchoIsChosen)
{
    m_server.helloText = "server=http://down:1;server=http://up:2";
    m_server.failHost[L"down"] = HttpCommDevice::ConnectFailure;
    m_device->resetConnection(L"ann", {{L"hello", 80}});
    ASSERT_TRUE(m_device->establishConnectability());
    EXPECT_EQ(m_device->getServerHost(), L"up");
    EXPECT_EQ(m_device->getServerPort(), 2);
}

TEST_F(HttpCommDeviceTest, HelloTokensGiveServersInOrderAndTheResults)
{
    HelloServerFinder::HelloResults results;
    results.reportsURL = L"old";
    results.motd = L"stale";
    HttpCommDevice::ServerList servers{{L"left", 1}};
    const std::string text = "junk;server=http://h:8080/path;motd=Hi;server=http://k";
    ASSERT_TRUE(HelloServerFinder::readHelloReply(ByteArray(text.data(), int32_t(text.size())),
                                               results, servers));
    EXPECT_EQ(servers, (HttpCommDevice::ServerList{{L"h", 8080}, {L"k", 80}}));
    EXPECT_EQ(results.motd, L"Hi");
    EXPECT_EQ(results.clientVersion, L"");
    EXPECT_EQ(results.reportsURL, L"old") << "kept unless a reports token comes";

    EXPECT_FALSE(HelloServerFinder::readHelloReply(ByteArray(), results, servers));
    EXPECT_EQ(servers.size(), 2u) << "no answer changes nothing";
    EXPECT_EQ(HelloServerFinder::parseServerToken(L"http://host/x:99"),
              (std::pair<std::wstring, int>{L"host", 80}));
    EXPECT_EQ(HelloServerFinder::parseServerToken(L"http://host:"),
              (std::pair<std::wstring, int>{L"host", 80}));
}

// The finder on its own, with a link that answers for one hello server and
// one submit server, reached only through the registry user's proxy.
class RecordingLink : public HelloServerFinder::Link {
public:
    bool post(const std::wstring& host, int port, const wchar_t* path, const ByteArray& body,
              ByteArray& reply, const ProxySettings& proxy, unsigned timeoutSeconds) override
    {
        posts.push_back(host + L":" + std::to_wstring(port) + path + L" via " + proxy.toString() +
                        L" in " + std::to_wstring(timeoutSeconds));
        if (proxy.getConnectionType() != ProxySettings::Proxy)
            return false;
        if (std::wstring(path) == L"/Hello") {
            const std::string text = "motd=Hi;server=http://submit:8080";
            reply = ByteArray(text.data(), int32_t(text.size()));
        }
        return true;
    }
    void proxyCandidates(ProxySettingsFactory::SettingsSource source, const std::wstring&, int,
                         std::list<ProxySettings>& out) override
    {
        if (source == ProxySettingsFactory::RegistryUser)
            out.push_back(ProxySettings(ProxySettings::Proxy, L"proxy", 3128));
    }
    void helloAnswered(const HelloServerFinder::HelloResults& results) override
    {
        answers.push_back(results.motd);
    }

    std::vector<std::wstring> posts;
    std::vector<std::wstring> answers;
};

TEST(HelloServerFinderTest, EveryRequestGoesThroughTheLinkAndTheWayThatWorkedIsKept)
{
    RecordingLink link;
    HelloServerFinder finder(link);
    ASSERT_TRUE(finder.find({{L"hello", 80}}, L"ann"));
    EXPECT_EQ(link.posts, (std::vector<std::wstring>{
                              L"hello:80/Hello via DIRECT in 3",
                              L"hello:80/Hello via PROXY proxy:3128 in 3",
                              L"submit:8080/Tavelin/Echo via PROXY proxy:3128 in 10"}));
    EXPECT_EQ(link.answers, std::vector<std::wstring>{L"Hi"});
    EXPECT_EQ(finder.helloResults().motd, L"Hi");
    EXPECT_EQ(finder.serverHost(), L"submit");
    EXPECT_EQ(finder.serverPort(), 8080);
    EXPECT_EQ(finder.proxy().toString(), L"PROXY proxy:3128");
}

} // namespace
