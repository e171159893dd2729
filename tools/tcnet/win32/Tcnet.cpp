// tcnet hello HOST[:PORT] [--user NAME]
// tcnet logon HOST[:PORT] USER        (the password is read from standard input)
//
// The connection self-test. "hello" asks the hello server directly and then
// through every proxy candidate of every source, in the order the client
// tries them, printing each attempt (source label, the way taken, the
// result and what the hello server answered), then echoes every submit
// server named, through the way that reached the hello server. "logon" finds
// a submit server as the client does and runs the logon exchange, printing
// each step. Output is UTF-8; events go to standard error.
// Exit 0 when a submit server answered (hello) or the logon succeeded,
// 1 when not, 2 for wrong arguments.
#include <cstdio>
#include <iostream>
#include <list>
#include <memory>
#include <string>

#include "base/ByteArray.h"
#include "base/Exception.h"
#include "base/Msg.h"
#include "base/Tools.h"
#include "base/Utf16.h"
#include "base/win32/WindowsSupport.h"
#include "shared/server/HelloServerFinder.h"
#include "shared/server/HttpCommDevice.h"
#include "shared/server/ProxySettingsFactory.h"
#include "shared/server/SecurityDevice.h"
#include "tools/common/StderrEvents.h"

namespace {

using Event_ = HttpCommDevice::HttpCommDeviceEvent;

void out(const std::wstring& text)
{
    const std::string bytes = Utf16::toUtf8(text + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

std::wstring resultName(int result)
{
    switch (result) {
    case HttpCommDevice::Success:
        return L"Success";
    case HttpCommDevice::ResolveFailure:
        return L"ResolveFailure (the name does not resolve)";
    case HttpCommDevice::ConnectFailure:
        return L"ConnectFailure (no connection)";
    case HttpCommDevice::InvalidMessageSize:
        return L"InvalidMessageSize";
    case HttpCommDevice::ResponseFailure:
        return L"ResponseFailure (bad or no reply)";
    case HttpCommDevice::SecureSessionFailure:
        return L"SecureSessionFailure";
    case HttpCommDevice::SendFailure:
        return L"SendFailure";
    default:
        return L"result " + std::to_wstring(result);
    }
}

bool parseTarget(const std::wstring& text, std::wstring& host, int& port)
{
    const size_t colon = text.rfind(L':');
    host = text.substr(0, colon);
    port = 80;
    if (colon != std::wstring::npos) {
        try {
            port = std::stoi(text.substr(colon + 1));
        } catch (...) {
            return false;
        }
    }
    return !host.empty() && port > 0 && port < 65536;
}

struct Way {
    std::wstring label;
    ProxySettings settings;
    bool none = false; // a source without candidates, shown in its place
};

// Direct first, then every candidate of every source, as the client tries them.
std::list<Way> waysTo(const std::wstring& host, int port)
{
    std::list<Way> ways;
    ways.push_back({L"DIRECT", ProxySettings(ProxySettings::Direct, host, port)});
    for (auto source : {ProxySettingsFactory::RegistryMachine, ProxySettingsFactory::RegistryUser,
                        ProxySettingsFactory::InternetExplorer, ProxySettingsFactory::AutoDetect}) {
        std::list<ProxySettings> candidates;
        ProxySettingsFactory::get_settings(source, host, port, candidates);
        const std::wstring label = ProxySettingsFactory::getSourceLabel(source);
        if (candidates.empty())
            ways.push_back({label, ProxySettings(), true});
        for (const ProxySettings& c : candidates)
            ways.push_back({label, c});
    }
    return ways;
}

// One hello attempt, printed. True with the submit servers when it answered.
bool tryHello(const std::wstring& host, int port, const Way& way, const std::wstring& user,
              HttpCommDevice::ServerList& servers, bool print)
{
    ByteArray reply;
    const int result = HttpCommDevice::sendReceive(
        host.c_str(), port, HelloServerFinder::HelloPath, HelloServerFinder::helloBody(user), reply,
        way.settings, HelloServerFinder::HelloTimeoutSeconds);
    const std::wstring head = L"hello " + way.label + L" " + way.settings.toString() + L": ";
    if (result != HttpCommDevice::Success) {
        if (print)
            out(head + resultName(result));
        return false;
    }
    HelloServerFinder::HelloResults hello;
    if (!HelloServerFinder::readHelloReply(reply, hello, servers)) {
        if (print)
            out(head + L"no answer (an empty reply or a web page)");
        return false;
    }
    if (print) {
        out(head + L"Success");
        out(L"  answer: " + reply.a2w());
        out(L"  version=" + hello.clientVersion + L" version_url=" + hello.clientVersionURL +
            L" motd=" + hello.motd + L" reports=" + hello.reportsURL);
        for (const auto& s : servers)
            out(L"  submit server " + s.first + L":" + std::to_wstring(s.second));
        if (servers.empty())
            out(L"  no submit server named");
    }
    return true;
}

int helloCommand(const std::wstring& host, int port, const std::wstring& user)
{
    bool echoed = false;
    for (const Way& way : waysTo(host, port)) {
        if (way.none) {
            out(L"hello " + way.label + L": no proxy candidates");
            continue;
        }
        HttpCommDevice::ServerList servers;
        if (!tryHello(host, port, way, user, servers, true))
            continue;
        for (const auto& s : servers) {
            const int result = HttpCommDevice::sendEcho(s.first.c_str(), s.second, way.settings);
            out(L"echo " + s.first + L":" + std::to_wstring(s.second) + L" " +
                way.settings.toString() + L": " + resultName(result));
            echoed = echoed || result == HttpCommDevice::Success;
        }
    }
    out(echoed ? L"result: a submit server answered" : L"result: no submit server answered");
    return echoed ? 0 : 1;
}

// Posts one message to the submit server; the reply message, or null.
std::unique_ptr<Msg> submit(const std::wstring& host, int port, const ProxySettings& way,
                            const Msg& msg, const std::wstring& step)
{
    ByteArray body;
    msg.toByteArray(body);
    ByteArray reply;
    const int result =
        HttpCommDevice::sendReceive(host.c_str(), port, HttpCommDevice::SubmitPath, body, reply,
                                    way, HttpCommDevice::SubmitTimeoutSeconds);
    out(step + L": " + std::to_wstring(body.getSize()) + L" bytes sent, " + resultName(result));
    if (result != HttpCommDevice::Success)
        return nullptr;
    std::unique_ptr<Msg> answer(new Msg());
    try {
        answer->fromByteArray(reply);
    } catch (const Exception& e) {
        out(L"  the reply is no message: " + e.getDescription());
        return nullptr;
    }
    out(L"  reply: " + Msg::getTypeName(answer->getType()) +
        (answer->isSecure() ? L" (envelope)" : L""));
    if (answer->getType() == Msg::ERROR_MSG) {
        std::wstring type;
        int id = 0;
        answer->getAttributeValue(L"ErrorType", type);
        answer->getAttributeValue(L"ErrorID", id);
        out(L"  server error " + std::to_wstring(id) + L": " + type);
        return nullptr;
    }
    return answer;
}

int logonCommand(const std::wstring& host, int port, const std::wstring& user,
                 const std::wstring& password)
{
    std::wstring lower = user;
    Tools::stringToLower(lower);
    // The submit server, found as the client finds it.
    std::wstring server;
    int serverPort = 0;
    ProxySettings way;
    for (const Way& w : waysTo(host, port)) {
        if (w.none)
            continue;
        HttpCommDevice::ServerList servers;
        if (!tryHello(host, port, w, lower, servers, true))
            continue;
        for (const auto& s : servers) {
            if (HttpCommDevice::sendEcho(s.first.c_str(), s.second, w.settings) ==
                HttpCommDevice::Success) {
                server = s.first;
                serverPort = s.second;
                way = w.settings;
                break;
            }
        }
        if (!server.empty())
            break;
    }
    if (server.empty()) {
        out(L"result: no submit server answered");
        return 1;
    }
    out(L"submit server " + server + L":" + std::to_wstring(serverPort) + L" " + way.toString());

    Msg challengeRequest;
    challengeRequest.setType(Msg::CHALLENGE_REQUEST);
    challengeRequest.setAttributeValue(L"TavelUsername", lower);
    challengeRequest.setAttributeValue(L"EmailAddress", lower);
    std::unique_ptr<Msg> challenge =
        submit(server, serverPort, way, challengeRequest, L"challenge request");
    ByteArray* data = nullptr;
    if (!challenge || challenge->getType() != Msg::CHALLENGE_RESPONSE ||
        !challenge->getAttributeValue(L"ChallengeData", data) || !data) {
        out(L"result: no challenge");
        return 1;
    }
    out(L"  challenge: " + std::to_wstring(data->getSize()) + L" bytes");
    const ByteArray key =
        SecurityDevice::generateSessionKey(SecurityDevice::computePasswordHash(password), *data);

    Msg authentication;
    authentication.setType(Msg::AUTHENTICATION_REQUEST);
    authentication.setAttributeValue(L"TavelUsername", user);
    authentication.setAttributeValue(L"EmailAddress", user);
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(authentication, key));
    std::unique_ptr<Msg> answer =
        submit(server, serverPort, way, *envelope, L"authentication request");
    if (!answer)
        return 1;
    if (!answer->isSecure()) {
        std::wstring result;
        answer->getAttributeValue(L"Result", result);
        out(L"  plain answer, Result=" + result + L": the name or password was not accepted");
        out(L"result: authentication failed");
        return 1;
    }
    std::unique_ptr<Msg> plain;
    try {
        plain.reset(SecurityDevice::verifyAndDecryptMsg(*answer, key));
    } catch (const Exception& e) {
        out(L"  the answer does not verify under the session key: " + e.getDescription());
        out(L"result: secure session failed");
        return 1;
    }
    std::wstring result;
    int userId = 0;
    plain->getAttributeValue(L"Result", result);
    const bool hasId = plain->getAttributeValue(L"UserID", userId);
    out(L"  Result=" + result + (hasId ? L" UserID=" + std::to_wstring(userId) : L""));
    if (result != L"True" || !hasId) {
        out(L"result: authentication failed");
        return 1;
    }
    out(L"result: logged on, user id " + std::to_wstring(userId));
    return 0;
}

int usage()
{
    std::fputs("usage: tcnet hello HOST[:PORT] [--user NAME]\n"
               "       tcnet logon HOST[:PORT] USER   (password on standard input)\n",
               stderr);
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    toolsupport::traceToStderr(L"tcnet");
    if (argc < 3)
        return usage();
    const std::wstring command = argv[1];
    std::wstring host;
    int port = 0;
    if (!parseTarget(argv[2], host, port))
        return usage();
    try {
        if (command == L"hello") {
            std::wstring user;
            if (argc == 5 && std::wstring(argv[3]) == L"--user")
                user = argv[4];
            else if (argc != 3)
                return usage();
            return helloCommand(host, port, user);
        }
        if (command == L"logon" && argc == 4) {
            std::string line;
            std::getline(std::cin, line);
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                line.pop_back();
            const std::wstring password = Utf16::fromUtf8(line);
            if (password.empty()) {
                std::fputs("tcnet: no password on standard input\n", stderr);
                return 2;
            }
            return logonCommand(host, port, argv[3], password);
        }
    } catch (const Exception& e) {
        out(L"failed: " + e.getDescription());
        return 1;
    }
    return usage();
}
