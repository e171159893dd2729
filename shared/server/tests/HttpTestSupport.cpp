#include "HttpTestSupport.h"

namespace httptest {

HttpCommDevice::HttpCommDeviceEvent ScriptedServer::handle(const Request& request, ByteArray& reply)
{
    requests.push_back(request);
    const auto byHost = failHost.find(request.proxy.getConnectionType() == ProxySettings::Proxy
                                          ? request.proxy.getProxyName()
                                          : request.host);
    if (byHost != failHost.end())
        return byHost->second;
    const auto byPath = failPath.find(request.path);
    if (byPath != failPath.end())
        return byPath->second;

    if (request.path == HelloServerFinder::HelloPath) {
        reply.copyData(helloText.data(), static_cast<int32_t>(helloText.size()));
        return HttpCommDevice::Success;
    }
    if (request.path == HelloServerFinder::EchoPath)
        return HttpCommDevice::Success;

    Msg in;
    in.fromByteArray(request.body);
    Msg plain;
    if (in.isSecure()) {
        std::unique_ptr<Msg> opened(SecurityDevice::verifyAndDecryptMsg(in, sessionKey()));
        plain = *opened;
    } else {
        plain = in;
    }
    if (submitOverride && submitOverride(plain, reply))
        return HttpCommDevice::Success;

    Msg answer;
    switch (plain.getType()) {
    case Msg::CHALLENGE_REQUEST:
        answer.setType(Msg::CHALLENGE_RESPONSE);
        answer.setAttributeValue(L"ChallengeData", new ByteArray(challenge));
        reply = bytes(answer);
        break;
    case Msg::AUTHENTICATION_REQUEST: {
        Msg inside;
        inside.setType(Msg::AUTHENTICATION_RESPONSE);
        inside.setAttributeValue(L"Result", std::wstring(L"True"));
        inside.setAttributeValue(L"UserID", userId);
        std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(inside, sessionKey()));
        reply = bytes(*envelope);
        break;
    }
    default:
        stored.push_back(plain);
        answer.setType(Msg::ACKNOWLEDGEMENT);
        reply = bytes(answer);
        break;
    }
    return HttpCommDevice::Success;
}

std::vector<std::unique_ptr<Msg>> ScriptedDevice::takeInbound()
{
    std::vector<std::unique_ptr<Msg>> out;
    while (Msg* msg = popMessage())
        out.emplace_back(msg);
    return out;
}

std::vector<int> ScriptedDevice::events(const std::vector<std::unique_ptr<Msg>>& msgs)
{
    std::vector<int> out;
    for (const auto& msg : msgs) {
        int event = -1;
        if (msg->getType() == Msg::HTTP_COMM_DEVICE &&
            msg->getAttributeValue(L"HttpCommEvent", event))
            out.push_back(event);
    }
    return out;
}

HttpCommDevice::HttpCommDeviceEvent ScriptedDevice::transmit(
    const std::wstring& host, int port, const wchar_t* path, const ByteArray& body,
    ByteArray& reply, const ProxySettings& proxy, unsigned timeoutSeconds)
{
    Request request;
    request.host = host;
    request.port = port;
    request.path = path;
    request.body = body;
    request.proxy = proxy;
    request.timeout = timeoutSeconds;
    reply.release();
    return m_server.handle(request, reply);
}

void ScriptedDevice::proxyCandidates(ProxySettingsFactory::SettingsSource source,
                                     const std::wstring& host, int port,
                                     std::list<ProxySettings>& out)
{
    const auto found = candidates.find(source);
    if (found != candidates.end())
        out.insert(out.end(), found->second.begin(), found->second.end());
}

} // namespace httptest
