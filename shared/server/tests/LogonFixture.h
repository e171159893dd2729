#pragma once
// The logon, connection-manager, ping and response-handler tests' fixture:
// the services on a framework whose devices only record what is sent, with
// the scripted server behind the Http device.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "HttpTestSupport.h"
#include "base/File.h"
#include "base/Registry.h"
#include "shared/framework/tests/FrameworkFakes.h"
#include "shared/server/ServerConnectionManagerService.h"
#include "shared/server/ServerLogonService.h"
#include "shared/server/ServerPingService.h"
#include "shared/server/ServerResponseHandlerService.h"
#include "testsupport/EventCapture.h"

namespace logontest {

using namespace httptest;
using frameworktest::FakeDevice;
using frameworktest::TestFramework;
using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;

class LogonProbe : public ServerLogonService {
public:
    using ServerLogonService::ServerLogonService;
    const SimpleTimer& timer() const { return m_timer; }
};

class ManagerProbe : public ServerConnectionManagerService {
public:
    using ServerConnectionManagerService::ServerConnectionManagerService;
    const SimpleTimer& timer() const { return m_timer; }
};

class PingProbe : public ServerPingService {
public:
    using ServerPingService::ServerPingService;
    const SimpleTimer& timer() const { return m_timer; }
};

// The services on a framework whose devices only record what is sent; the
// test carries the messages: Http ones to a scripted server, whose replies
// and the internal broadcasts it routes back as the framework would.
class LogonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_queueName = testsupport::uniqueName(L"logonq") + L".dat";
        m_device.reset(new ScriptedDevice(m_system, m_clock, m_server, m_queueName));
        m_internal = new FakeDevice(CommunicationDevice::Internal, "internal", m_journal);
        m_http = new FakeDevice(CommunicationDevice::Http, "http", m_journal);
        m_framework->addCommunicationDevice(m_internal);
        m_framework->addCommunicationDevice(m_http);
        m_logon = new LogonProbe(m_system, *m_device, m_servers.path());
        m_framework->addService(m_logon);
    }
    void TearDown() override
    {
        m_framework.reset();
        m_device.reset();
        testsupport::removeFile(File::getTempPath() + File::Separator + m_queueName);
    }

    ManagerProbe* addManager()
    {
        m_manager = new ManagerProbe(m_system, *m_logon, m_clock, m_signIn.path(), m_older.path());
        m_framework->addService(m_manager);
        return m_manager;
    }

    void route(Msg& msg)
    {
        for (Service* s : std::vector<Service*>{m_logon, m_manager, m_ping})
            if (s && s->canProcessMsg(msg))
                s->processMsg(msg);
    }

    // Carries every message until nothing moves; the statuses broadcast are
    // collected in m_statuses.
    void pump()
    {
        for (int round = 0; round < 20; ++round) {
            bool moved = false;
            while (Msg* raw = m_internal->takeSent()) {
                std::unique_ptr<Msg> msg(raw);
                int status = -1;
                if (msg->getAttributeValue(L"ConnectionStatus", status))
                    m_statuses.push_back(status);
                route(*msg);
                moved = true;
            }
            while (Msg* raw = m_http->takeSent()) {
                std::unique_ptr<Msg> msg(raw);
                m_sent.push_back(*msg);
                if (m_serverDown)
                    continue;
                Request request;
                request.path = HttpCommDevice::SubmitPath;
                msg->toByteArray(request.body);
                ByteArray reply;
                if (m_server.handle(request, reply) == HttpCommDevice::Success) {
                    Msg answer;
                    answer.fromByteArray(reply);
                    route(answer);
                }
                moved = true;
            }
            if (!moved)
                return;
        }
    }

    // Routes the broadcasts waiting, drops what waits for the server.
    void flushInternal()
    {
        while (Msg* raw = m_internal->takeSent()) {
            std::unique_ptr<Msg> msg(raw);
            route(*msg);
        }
        while (Msg* raw = m_http->takeSent())
            delete raw;
    }

    Msg errorMsg(const std::wstring& type)
    {
        Msg m;
        m.setType(Msg::ERROR_MSG);
        m.setAttributeValue(L"ErrorID", 12);
        m.setAttributeValue(L"ErrorType", type);
        return m;
    }
    static Msg deviceEvent(int event)
    {
        Msg m;
        m.setType(Msg::HTTP_COMM_DEVICE);
        m.setAttributeValue(L"HttpCommEvent", event);
        return m;
    }
    TavelinSessionDetails& session() { return m_system.getTavelinSessionDetails(); }
    // Announces the session's connection status, as the logon service does.
    void announceStatus()
    {
        Msg change;
        change.setType(Msg::CONNECTION_STATUS_CHANGE);
        route(change);
    }
    // The session ends in that error, and says so.
    void failWith(Error error)
    {
        session().setConnectionError(error);
        session().setConnectionStatus(Status::ConnectionError);
        announceStatus();
    }
    // A server's answer: inside, sealed under the session key.
    bool sealedReply(const Msg& inside, ByteArray& reply)
    {
        std::unique_ptr<Msg> envelope(
            SecurityDevice::signAndEncryptMsg(inside, m_server.sessionKey()));
        envelope->toByteArray(reply);
        return true;
    }
    void saveSignIn(const std::wstring& key, const std::wstring& name, const std::wstring& password)
    {
        Registry r(Registry::CurrentUser, key);
        r.write(L"Username", name);
        r.write(L"SessionID", SecurityDevice::encryptString(password, name));
    }

    testsupport::EventRecorder m_trace{testsupport::uniqueName(L"LogonTest")};
    // Keys of their own for every test (natively a key outlives its test).
    static std::wstring fresh(const wchar_t* stem)
    {
        static int s_count = 0;
        return stem + std::to_wstring(++s_count) + L"_";
    }
    testsupport::TestKey m_servers{fresh(L"servers"), Registry::LocalMachine};
    testsupport::TestKey m_signIn{fresh(L"signin")};
    testsupport::TestKey m_older{fresh(L"older")};
    ScriptedDesktop m_desktop;
    ManualClock m_clock{1800000000};
    System m_system{m_desktop, m_clock};
    ScriptedServer m_server;
    std::wstring m_queueName;
    std::unique_ptr<ScriptedDevice> m_device;
    std::shared_ptr<testsupport::Journal> m_journal = std::make_shared<testsupport::Journal>();
    std::unique_ptr<TestFramework> m_framework{new TestFramework};
    FakeDevice* m_internal = nullptr;
    FakeDevice* m_http = nullptr;
    LogonProbe* m_logon = nullptr;
    ManagerProbe* m_manager = nullptr;
    PingProbe* m_ping = nullptr;
    std::vector<int> m_statuses;
    std::vector<Msg> m_sent;
    bool m_serverDown = false;
};

inline std::vector<int> statuses(std::initializer_list<Status> list)
{
    std::vector<int> out;
    for (Status s : list)
        out.push_back(static_cast<int>(s));
    return out;
}

} // namespace logontest
