// Proxy candidates taken through a real HTTP proxy (tinyproxy, started by the
// test on the loopback) to a small HTTP server the test runs itself, with
// WinHTTP as the client: from the earlier versions' registry values, from
// the Internet Explorer settings in the user's registry, and from an
// automatic-configuration script the test serves.
#include <gtest/gtest.h>

#include <atomic>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/ByteArray.h"
#include "base/Registry.h"
#include "base/win32/WindowsSupport.h"
#include "shared/server/ProxySettingsFactory.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

#include <winhttp.h>
#include <winsock2.h>

namespace {

static_assert(ProxySettings::AccessTypeNoProxy == WINHTTP_ACCESS_TYPE_NO_PROXY, "WinHTTP's value");
static_assert(ProxySettings::AccessTypeNamedProxy == WINHTTP_ACCESS_TYPE_NAMED_PROXY,
              "WinHTTP's value");
static_assert(ProxyDiscovery::AutoDetectionFailed == ERROR_WINHTTP_AUTODETECTION_FAILED,
              "WinHTTP's value");

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// The server listens on a loopback address of its own: tinyproxy turns away
// requests for the address it listens on itself.
const char* const ServerAddress = "127.0.0.2";
const wchar_t* const ServerHost = L"127.0.0.2";

const wchar_t* const Tinyproxy = L"Z:\\usr\\bin\\tinyproxy";
const wchar_t* const ConnectionsKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

SOCKET listenOnLoopback(int& port, const char* host = "127.0.0.1")
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr(host);
    address.sin_port = 0;
    int length = sizeof address;
    if (s == INVALID_SOCKET ||
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (s != INVALID_SOCKET)
            closesocket(s);
        return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return s;
}

bool canConnect(int port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    closesocket(s);
    return ok;
}

// One-request-per-connection HTTP server on the loopback: "/proxy.pac"
// gives the script, anything else a greeting. Records every request head.
class LoopbackServer {
public:
    LoopbackServer()
    {
        m_socket = listenOnLoopback(m_port, ServerAddress);
        if (m_socket != INVALID_SOCKET)
            m_thread = std::thread([this] { serve(); });
    }
    ~LoopbackServer()
    {
        m_stop = true;
        closesocket(m_socket);
        if (m_thread.joinable())
            m_thread.join();
    }
    int port() const { return m_port; }
    bool running() const { return m_socket != INVALID_SOCKET; }
    void setScript(const std::string& script)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_script = script;
    }
    std::vector<std::string> requests() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

    static const char* greeting() { return "hello from the loopback server"; }

private:
    void serve()
    {
        while (!m_stop) {
            SOCKET c = accept(m_socket, nullptr, nullptr);
            if (c == INVALID_SOCKET)
                return;
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const int n = recv(c, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                head.append(buffer, static_cast<size_t>(n));
            }
            std::string body = greeting(), type = "text/plain";
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(head);
                if (head.find(" /proxy.pac ") != std::string::npos) {
                    body = m_script;
                    type = "application/x-ns-proxy-autoconfig";
                }
            }
            const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: " + type +
                                      "\r\nContent-Length: " + std::to_string(body.size()) +
                                      "\r\nConnection: close\r\n\r\n" + body;
            send(c, reply.data(), static_cast<int>(reply.size()), 0);
            shutdown(c, SD_SEND);
            closesocket(c);
        }
    }

    SOCKET m_socket = INVALID_SOCKET;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::string m_script;
};

// GET /hello from the loopback server through the settings; the status
// code (0 when the request failed) and the body.
int fetch(ProxySettings& settings, int serverPort, std::string& body)
{
    body.clear();
    WINHTTP_PROXY_INFO info{};
    settings.toWinHttpProxyInfo(&info);
    // The option goes on the request, as the HTTP device sets it; Wine's
    // WinHTTP accepts it there but does not act on it, so the session is
    // opened with the same option too.
    HINTERNET session =
        WinHttpOpen(L"Tavelin Client/1.0", info.dwAccessType,
                    info.lpszProxy != nullptr ? info.lpszProxy : WINHTTP_NO_PROXY_NAME,
                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr)
        return 0;
    int status = 0;
    HINTERNET connection =
        WinHttpConnect(session, ServerHost, static_cast<INTERNET_PORT>(serverPort), 0);
    HINTERNET request =
        connection == nullptr
            ? nullptr
            : WinHttpOpenRequest(connection, L"GET", L"/hello", nullptr, WINHTTP_NO_REFERER,
                                 WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_REFRESH);
    if (request != nullptr && WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info) &&
        WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                           0) &&
        WinHttpReceiveResponse(request, nullptr)) {
        DWORD code = 0, size = sizeof code;
        if (WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                WINHTTP_HEADER_NAME_BY_INDEX, &code, &size,
                                WINHTTP_NO_HEADER_INDEX))
            status = static_cast<int>(code);
        char buffer[1024];
        DWORD got = 0;
        while (WinHttpReadData(request, buffer, sizeof buffer, &got) && got > 0)
            body.append(buffer, got);
    }
    if (request != nullptr)
        WinHttpCloseHandle(request);
    if (connection != nullptr)
        WinHttpCloseHandle(connection);
    WinHttpCloseHandle(session);
    return status;
}

// The Internet Explorer connection settings as the user's registry holds
// them: magic 0x46, a counter, flags (1 direct, 2 proxy, 4 script), then the
// proxy list, the bypass list and the script's URL, each a length and
// narrow characters, and room for what follows in the real value.
ByteArray browserSettings(unsigned flags, const std::string& proxy, const std::string& script)
{
    ByteArray out;
    out += 0x46;
    out += 1;
    out += static_cast<int>(flags);
    for (const std::string& text : {proxy, std::string(), script}) {
        out += static_cast<int>(text.size());
        out.appendData(text.data(), static_cast<int32_t>(text.size()));
    }
    std::vector<uint8_t> rest(32, 0);
    out.appendData(rest.data(), static_cast<int32_t>(rest.size()));
    return out;
}

class ProxyThroughTinyproxyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
        if (GetFileAttributesW(Tinyproxy) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "tinyproxy is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(m_server.running());
        SOCKET probe = listenOnLoopback(m_proxyPort);
        ASSERT_NE(probe, INVALID_SOCKET);
        closesocket(probe);
        const std::wstring stem = testsupport::uniqueName(L"tinyproxy");
        m_config = L"Z:\\tmp\\" + stem + L".conf";
        testsupport::writeFile(
            m_config,
            "Port " + std::to_string(m_proxyPort) +
                "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\nMaxClients 8\nPidFile \"/tmp/" +
                narrow(stem) + ".pid\"\n");
        m_pidFile = L"Z:\\tmp\\" + stem + L".pid";
        // A program of the host is out of reach of TerminateProcess: the test
        // ends tinyproxy with the host's kill, by the pid it writes (and a
        // time limit ends it should the test die). Its output must not hold
        // the test's.
        ASSERT_TRUE(m_proxy.start(
            L"Z:\\bin\\sh", {L"-c", L"exec /usr/bin/timeout 300 /usr/bin/tinyproxy -d -c /tmp/" +
                                        stem + L".conf </dev/null >/dev/null 2>&1"}));
        ASSERT_TRUE(testsupport::eventually([&] { return canConnect(m_proxyPort); }))
            << "tinyproxy did not listen";
        m_connections.setRootKey(Registry::CurrentUser);
        m_connections.setRootKeyPath(ConnectionsKey);
        m_savedSettings = m_connections.read(L"DefaultConnectionSettings", ByteArray());
    }
    void TearDown() override
    {
        if (m_changedSettings) {
            if (m_savedSettings.getSize() > 0)
                m_connections.write(L"DefaultConnectionSettings", m_savedSettings);
            else
                m_connections.deleteValue(L"DefaultConnectionSettings");
        }
        if (!m_pidFile.empty()) {
            testsupport::eventually([&] { return !testsupport::readFile(m_pidFile).empty(); },
                                    5000);
            const std::vector<uint8_t> pid = testsupport::readFile(m_pidFile);
            std::wstring text;
            for (uint8_t c : pid)
                if (c >= '0' && c <= '9')
                    text += static_cast<wchar_t>(c);
            if (!text.empty())
                testsupport::runProgram(L"Z:\\bin\\kill", {text});
            testsupport::removeFile(m_pidFile);
        }
        if (!m_config.empty())
            testsupport::removeFile(m_config);
        WSACleanup();
    }
    void setBrowserSettings(const ByteArray& value)
    {
        m_changedSettings = true;
        ASSERT_TRUE(m_connections.write(L"DefaultConnectionSettings", value));
    }
    // The candidate reaches the server, and through tinyproxy (which names
    // itself in the Via header of what it forwards).
    void expectReachedThroughProxy(ProxySettings settings)
    {
        const size_t before = m_server.requests().size();
        std::string body;
        EXPECT_EQ(fetch(settings, m_server.port(), body), 200) << Tools_toString(settings);
        EXPECT_EQ(body, LoopbackServer::greeting());
        const auto requests = m_server.requests();
        ASSERT_EQ(requests.size(), before + 1);
        EXPECT_NE(requests.back().find("tinyproxy"), std::string::npos) << requests.back();
    }
    static std::string Tools_toString(const ProxySettings& s)
    {
        const std::wstring t = s.toString();
        return std::string(t.begin(), t.end());
    }
    std::string proxyText() const { return "127.0.0.1:" + std::to_string(m_proxyPort); }

    LoopbackServer m_server;
    int m_proxyPort = 0;
    std::wstring m_config, m_pidFile;
    testsupport::ChildProcess m_proxy;
    Registry m_connections;
    ByteArray m_savedSettings;
    bool m_changedSettings = false;
    ProxyDiscovery m_platform;
    testsupport::EventRecorder m_events;
};

TEST_F(ProxyThroughTinyproxyTest, DirectRequestsDoNotPassTheProxy)
{
    ProxySettings direct;
    std::string body;
    EXPECT_EQ(fetch(direct, m_server.port(), body), 200);
    EXPECT_EQ(body, LoopbackServer::greeting());
    ASSERT_EQ(m_server.requests().size(), 1u);
    EXPECT_EQ(m_server.requests()[0].find("tinyproxy"), std::string::npos)
        << m_server.requests()[0];
}

TEST_F(ProxyThroughTinyproxyTest, TheEarlierVersionsRegistryValuesNameTheProxy)
{
    testsupport::TestKey user(L"ProxyThroughTinyproxy");
    testsupport::TestKey machine(L"ProxyThroughTinyproxy", Registry::LocalMachine);
    for (const testsupport::TestKey* key : {&user, &machine}) {
        Registry values(key->root(), key->path());
        values.write(L"ProxyName", L"127.0.0.1");
        values.write(L"ProxyPort", m_proxyPort);
        values.write(L"ConnectionType", L"Proxy");
    }
    for (auto source :
         {ProxySettingsFactory::RegistryMachine, ProxySettingsFactory::RegistryUser}) {
        std::list<ProxySettings> candidates;
        ProxySettingsFactory::get_settings(source, ServerHost, m_server.port(), candidates,
                                           user.path(), m_platform);
        ASSERT_EQ(candidates.size(), 1u) << ProxySettingsFactory::getSourceLabel(source);
        EXPECT_EQ(candidates.front().toString(),
                  L"PROXY 127.0.0.1:" + std::to_wstring(m_proxyPort));
        expectReachedThroughProxy(candidates.front());
    }
}

TEST_F(ProxyThroughTinyproxyTest, TheInternetExplorerSettingsNameTheProxy)
{
    setBrowserSettings(browserSettings(0x3, proxyText(), std::string()));
    std::list<ProxySettings> candidates;
    ProxySettingsFactory::get_settings(ProxySettingsFactory::InternetExplorer, ServerHost,
                                       m_server.port(), candidates,
                                       ProxySettingsFactory::EarlierVersionsKey, m_platform);
    ASSERT_EQ(candidates.size(), 1u)
        << "events 1061401/1061406: " << m_events.count(1061401) << "/" << m_events.count(1061406);
    EXPECT_EQ(candidates.front().toString(), L"PROXY 127.0.0.1:" + std::to_wstring(m_proxyPort));
    expectReachedThroughProxy(candidates.front());
}

// The script sends the loopback server's requests through tinyproxy and
// everything else directly.
TEST_F(ProxyThroughTinyproxyTest, TheInternetExplorerScriptNamesTheProxy)
{
    m_server.setScript("function FindProxyForURL(url, host) {\n"
                       "  if (host == \"127.0.0.2\") return \"PROXY " +
                       proxyText() +
                       "\";\n"
                       "  return \"DIRECT\";\n}\n");
    const std::string script = "http://127.0.0.2:" + std::to_string(m_server.port()) + "/proxy.pac";
    setBrowserSettings(browserSettings(0x5, std::string(), script));
    std::list<ProxySettings> candidates;
    ProxySettingsFactory::get_settings(ProxySettingsFactory::InternetExplorer, ServerHost,
                                       m_server.port(), candidates,
                                       ProxySettingsFactory::EarlierVersionsKey, m_platform);
    if (candidates.empty() && m_events.count(1061404) == 1)
        GTEST_SKIP() << "Wine's WinHTTP did not run the script: " << Tools_toString(ProxySettings())
                     << std::string(m_events.find(1061404).details.begin(),
                                    m_events.find(1061404).details.end());
    bool fetched = false;
    for (const std::string& request : m_server.requests())
        fetched = fetched || request.find("GET /proxy.pac") != std::string::npos;
    EXPECT_TRUE(fetched) << "the script was not asked for";
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates.front().toString(), L"PROXY 127.0.0.1:" + std::to_wstring(m_proxyPort));
    expectReachedThroughProxy(candidates.front());
}

TEST(ProxyAutoDetectionTest, FailsWith12180OnTheLoopbackMachine)
{
    testsupport::EventRecorder events;
    ProxyDiscovery platform;
    const ProxyDiscovery::Lookup found = platform.proxyForUrl(L"http://127.0.0.1", std::wstring());
    EXPECT_TRUE(found.sessionOpened);
    EXPECT_FALSE(found.succeeded);
    EXPECT_EQ(found.error, 12180u);
    std::list<ProxySettings> candidates;
    ProxySettingsFactory::get_settings(ProxySettingsFactory::AutoDetect, L"127.0.0.1", 80,
                                       candidates);
    EXPECT_TRUE(candidates.empty());
    const auto traced = events.withId(1061408);
    ASSERT_EQ(traced.size(), 1u);
    EXPECT_EQ(traced[0].description, L"No AUTO proxy settings for 127.0.0.1:80");
    EXPECT_EQ(traced[0].type, Event::Info);
}

} // namespace
