#pragma once
// What the transport and logon tests share: a device whose requests go to a
// scripted server in the same process, and a server that answers the way the
// reference server does (hello, echo, logon, envelopes under the session key).
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "base/Msg.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "shared/server/HelloServerFinder.h"
#include "shared/server/HttpCommDevice.h"
#include "shared/server/SecurityDevice.h"
#include "testsupport/TestSupport.h"

namespace httptest {

// One request as the scripted server saw it.
struct Request {
    std::wstring host;
    int port = 0;
    std::wstring path;
    ByteArray body;
    ProxySettings proxy;
    unsigned timeout = 0;
};

// The server side of the exchange, as the client relies on it.
class ScriptedServer {
public:
    ScriptedServer() : m_password(L"secret"), m_hash(SecurityDevice::computePasswordHash(L"secret"))
    {}

    // What the transport gives for a request; by default the exchange of a
    // healthy server.
    HttpCommDevice::HttpCommDeviceEvent handle(const Request& request, ByteArray& reply);

    // Failures to play: the result of every request to that path, or of every
    // request to a host.
    std::map<std::wstring, HttpCommDevice::HttpCommDeviceEvent> failPath;
    std::map<std::wstring, HttpCommDevice::HttpCommDeviceEvent> failHost;
    // The hello text (default: one submit server "submit" on 8080).
    std::string helloText = "version=2.0;version_url=http://get/;motd=Hello;reports=http://rep/;"
                            "server=http://submit:8080/Tavelin";
    // Replies to SubmitMsg instead of the healthy one, while set.
    std::function<bool(const Msg& plain, ByteArray& reply)> submitOverride;

    ByteArray challenge = ByteArray("0123456789abcdef", 16);
    int userId = 41;
    ByteArray sessionKey() const { return SecurityDevice::generateSessionKey(m_hash, challenge); }

    // The messages stored, decrypted, in arrival order.
    std::vector<Msg> stored;
    std::vector<Request> requests;

    static ByteArray bytes(const Msg& msg)
    {
        ByteArray out;
        msg.toByteArray(out);
        return out;
    }

private:
    std::wstring m_password;
    ByteArray m_hash;
};

// The device with its requests going to a scripted server and its proxy
// candidates given by the test.
class ScriptedDevice : public HttpCommDevice {
public:
    ScriptedDevice(System& system, const Clock& clock, ScriptedServer& server,
                   const std::wstring& queueFile)
        : HttpCommDevice(system, clock, queueFile), m_server(server)
    {}
    ~ScriptedDevice() override { terminate(500); }

    using HttpCommDevice::decryptMsgIfNecessary;
    using HttpCommDevice::encryptMsgIfNecessary;
    using HttpCommDevice::establishConnectability;
    using HttpCommDevice::parseResponse;

    // Everything the device handed to the framework, taken off its queue.
    std::vector<std::unique_ptr<Msg>> takeInbound();
    // The events among them, in order.
    static std::vector<int> events(const std::vector<std::unique_ptr<Msg>>& msgs);

    std::map<int, std::list<ProxySettings>> candidates;

protected:
    HttpCommDeviceEvent transmit(const std::wstring& host, int port, const wchar_t* path,
                                 const ByteArray& body, ByteArray& reply,
                                 const ProxySettings& proxy, unsigned timeoutSeconds) override;
    void proxyCandidates(ProxySettingsFactory::SettingsSource source, const std::wstring& host,
                         int port, std::list<ProxySettings>& out) override;

private:
    ScriptedServer& m_server;
};

} // namespace httptest
