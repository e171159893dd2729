#include "shared/server/HelloServerFinder.h"

#include <cstdint>

#include "base/Event.h"
#include "base/Logger.h"

const wchar_t* const HelloServerFinder::HelloPath = L"/Hello";
const wchar_t* const HelloServerFinder::EchoPath = L"/Tavelin/Echo";

constexpr unsigned HelloServerFinder::HelloTimeoutSeconds;
constexpr unsigned HelloServerFinder::EchoTimeoutSeconds;

namespace {

void trace(uint32_t id, const std::wstring& text, const wchar_t* function)
{
    Event event(id, text, Event::Info, TC_AT(function));
    Logger::Trace(event);
}

std::wstring hostPort(const std::wstring& host, int port)
{
    return host + L":" + std::to_wstring(port);
}

} // namespace

HelloServerFinder::HelloServerFinder(Link& link) : m_link(link)
{
    m_proxy.readFromRegistry(false);
    m_helloLock.initialise();
}

bool HelloServerFinder::find(const ServerList& helloServers, const std::wstring& userName)
{
    m_userName = userName;
    static const ProxySettingsFactory::SettingsSource sources[] = {
        ProxySettingsFactory::RegistryMachine, ProxySettingsFactory::RegistryUser,
        ProxySettingsFactory::InternetExplorer, ProxySettingsFactory::AutoDetect};
    for (const auto& hello : helloServers) {
        const ProxySettings direct(ProxySettings::Direct, hello.first, hello.second);
        if (tryHelloServer(direct, hello.first, hello.second, L"DIRECT"))
            return true;
        for (ProxySettingsFactory::SettingsSource source : sources) {
            std::list<ProxySettings> candidates;
            m_link.proxyCandidates(source, hello.first, hello.second, candidates);
            for (const ProxySettings& candidate : candidates) {
                if (tryHelloServer(candidate, hello.first, hello.second,
                                   ProxySettingsFactory::getSourceLabel(source)))
                    return true;
            }
        }
    }
    return false;
}

bool HelloServerFinder::tryHelloServer(const ProxySettings& proxy, const std::wstring& helloHost,
                                       int helloPort, const wchar_t* label)
{
    const wchar_t* function = L"HelloServerFinder::tryHelloServer";
    trace(1063603,
          L"Trying hello server " + hostPort(proxy.getProxyName(), proxy.getProxyPort()) + L" (" +
              label + L")",
          function);
    ServerList servers;
    if (!sendHello(helloHost.c_str(), helloPort, proxy, servers))
        return false;
    trace(1063604,
          L"Contacted hello server " + hostPort(helloHost, helloPort) + L" (" + label + L")",
          function);
    m_link.helloAnswered(helloResults());

    m_proxy = proxy;
    m_submitServers = servers;
    for (const auto& server : m_submitServers) {
        trace(1063605, L"Trying server " + hostPort(server.first, server.second), function);
        ByteArray reply;
        const ByteArray body("echo", 4);
        if (m_link.post(server.first, server.second, EchoPath, body, reply, m_proxy,
                        EchoTimeoutSeconds)) {
            m_serverHost = server.first;
            m_serverPort = server.second;
            trace(1063606, L"Connected to server " + hostPort(server.first, server.second),
                  function);
            return true;
        }
    }
    return false;
}

bool HelloServerFinder::sendHello(const wchar_t* host, int port, const ProxySettings& proxy,
                                  ServerList& submitServers)
{
    ByteArray reply;
    if (!m_link.post(host, port, HelloPath, helloBody(m_userName), reply, proxy,
                     HelloTimeoutSeconds))
        return false;
    AutoMutex guard(m_helloLock);
    return readHelloReply(reply, m_hello, submitServers);
}

HelloServerFinder::HelloResults HelloServerFinder::helloResults() const
{
    AutoMutex guard(m_helloLock);
    return m_hello;
}

ByteArray HelloServerFinder::helloBody(const std::wstring& userName)
{
    return ByteArray(L"email=" + userName);
}

bool HelloServerFinder::readHelloReply(const ByteArray& reply, HelloResults& results,
                                       ServerList& submitServers)
{
    if (reply.getSize() == 0 || reply.getData()[0] == '<')
        return false;
    results.clientVersion.clear();
    results.clientVersionURL.clear();
    results.motd.clear();
    submitServers.clear();
    const std::wstring text = reply.a2w();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L';', start);
        if (end == std::wstring::npos)
            end = text.size();
        const std::wstring token = text.substr(start, end - start);
        auto rest = [&token](const wchar_t* prefix, std::wstring& out) {
            const std::wstring p(prefix);
            if (token.compare(0, p.size(), p) != 0)
                return false;
            out = token.substr(p.size());
            return true;
        };
        std::wstring value;
        // "version_url=" before "version=": neither is a prefix of the other,
        // but the order keeps that obvious.
        if (rest(L"version_url=", value))
            results.clientVersionURL = value;
        else if (rest(L"version=", value))
            results.clientVersion = value;
        else if (rest(L"motd=", value))
            results.motd = value;
        else if (rest(L"reports=", value))
            results.reportsURL = value;
        else if (rest(L"server=", value))
            submitServers.push_back(parseServerToken(value));
        start = end + 1;
    }
    return true;
}

std::pair<std::wstring, int> HelloServerFinder::parseServerToken(const std::wstring& rest)
{
    std::wstring text = rest;
    const std::wstring scheme = L"http://";
    if (text.compare(0, scheme.size(), scheme) == 0)
        text = text.substr(scheme.size());
    const size_t hostEnd = text.find_first_of(L":/");
    const std::wstring host = text.substr(0, hostEnd);
    int port = 80;
    if (hostEnd != std::wstring::npos && text[hostEnd] == L':') {
        size_t i = hostEnd + 1;
        long long value = 0;
        bool digits = false;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9' && value <= 65535) {
            value = value * 10 + (text[i] - L'0');
            digits = true;
            ++i;
        }
        // A port that is missing or out of range names no port: the default.
        if (digits && value > 0 && value <= 65535)
            port = static_cast<int>(value);
    }
    return {host, port};
}
