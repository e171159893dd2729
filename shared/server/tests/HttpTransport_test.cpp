// The transport of the build (WinHTTP on Windows, plain sockets natively)
// against a small server on the loopback: the requests as the server sees
// them, and the results of the failures.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>

#include "HttpTestSupport.h"
#include "LoopbackHttpServer.h"
#include "base/File.h"
#include "testsupport/EventCapture.h"

using namespace httptest;

namespace {

std::string text(const ByteArray& bytes)
{
    return std::string(reinterpret_cast<const char*>(bytes.getData()),
                       static_cast<size_t>(bytes.getSize()));
}

ByteArray bytesOf(const std::string& s)
{
    return ByteArray(s.data(), static_cast<int32_t>(s.size()));
}

class HttpTransportTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_server.running()); }

    HttpCommDevice::HttpCommDeviceEvent post(const wchar_t* path, const ByteArray& body,
                                             ByteArray& reply,
                                             const ProxySettings& proxy = ProxySettings())
    {
        return HttpCommDevice::sendReceive(L"127.0.0.1", m_server.port(), path, body, reply, proxy,
                                           3);
    }

    testsupport::EventRecorder m_trace{testsupport::uniqueName(L"HttpTransportTest")};
    LoopbackHttpServer m_server;
};

TEST_F(HttpTransportTest, SubmissionIsAPostWithTheUserAgentTheContentTypeAndTheBody)
{
    m_server.setHandler([](const RawRequest&) {
        Reply r;
        r.body = "answer bytes";
        return r;
    });
    Msg msg;
    msg.setType(Msg::SYSTEM_STATE_CHANGE);
    msg.setAttributeValue(L"SystemState", 2);
    ByteArray body;
    msg.toByteArray(body);
    ByteArray reply;
    ASSERT_EQ(post(L"/Tavelin/SubmitMsg", body, reply), HttpCommDevice::Success);
    EXPECT_EQ(text(reply), "answer bytes");

    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine(), "POST /Tavelin/SubmitMsg HTTP/1.1");
    EXPECT_EQ(requests[0].header("User-Agent"), "Tavelin Client/1.0");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/octet-stream");
    EXPECT_EQ(requests[0].header("Content-Length"), std::to_string(body.getSize()));
    EXPECT_EQ(requests[0].body, text(body));
}

TEST_F(HttpTransportTest, HelloAndEchoBodiesAreSentAsTheyAre)
{
    ByteArray reply;
    ASSERT_EQ(post(L"/Hello", HelloServerFinder::helloBody(L"ann"), reply), HttpCommDevice::Success);
    ASSERT_EQ(HttpCommDevice::sendEcho(L"127.0.0.1", m_server.port(), ProxySettings()),
              HttpCommDevice::Success);
    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine(), "POST /Hello HTTP/1.1");
    // "email=ann" in UTF-16LE, no terminator.
    EXPECT_EQ(requests[0].body, std::string("e\0m\0a\0i\0l\0=\0a\0n\0n\0", 18));
    EXPECT_EQ(requests[1].requestLine(), "POST /Tavelin/Echo HTTP/1.1");
    EXPECT_EQ(requests[1].body, "echo");
}

TEST_F(HttpTransportTest, StatusOtherThan200IsAResponseFailure)
{
    m_server.setHandler([](const RawRequest&) {
        Reply r;
        r.status = 404;
        r.body = "not here";
        return r;
    });
    ByteArray reply;
    EXPECT_EQ(post(L"/Tavelin/SubmitMsg", bytesOf("x"), reply), HttpCommDevice::ResponseFailure);
    EXPECT_EQ(m_trace.find(1063620).description, L"HTTP error: 404");
}

TEST_F(HttpTransportTest, ReplyAboveOneMebibyteIsAResponseFailure)
{
    m_server.setHandler([](const RawRequest&) {
        Reply r;
        r.body.assign(1048577, 'z');
        return r;
    });
    ByteArray reply;
    EXPECT_EQ(post(L"/Tavelin/SubmitMsg", bytesOf("x"), reply), HttpCommDevice::ResponseFailure);
    m_server.setHandler([](const RawRequest&) {
        Reply r;
        r.body.assign(1048576, 'z');
        return r;
    });
    EXPECT_EQ(post(L"/Tavelin/SubmitMsg", bytesOf("x"), reply), HttpCommDevice::Success);
    EXPECT_EQ(reply.getSize(), 1048576);
}

TEST_F(HttpTransportTest, RefusedConnectionIsAConnectFailure)
{
    ByteArray reply;
    EXPECT_EQ(HttpCommDevice::sendReceive(L"127.0.0.1", LoopbackHttpServer::freePort(),
                                          L"/Tavelin/SubmitMsg", bytesOf("x"), reply,
                                          ProxySettings(), 3),
              HttpCommDevice::ConnectFailure);
    EXPECT_EQ(m_trace.count(1063617), 1u);
}

TEST_F(HttpTransportTest, UnresolvableNameIsAResolveFailure)
{
    ByteArray reply;
    EXPECT_EQ(HttpCommDevice::sendReceive(L"no-such-host.invalid", 80, L"/Hello", bytesOf("x"),
                                          reply, ProxySettings(), 3),
              HttpCommDevice::ResolveFailure);
}

TEST_F(HttpTransportTest, ThroughAProxyTheRequestNamesTheServer)
{
    // The loopback server stands in for the proxy here: it sees what a proxy
    // is sent.
    ByteArray reply;
    const ProxySettings proxy(ProxySettings::Proxy, L"127.0.0.1", m_server.port());
    ASSERT_EQ(HttpCommDevice::sendReceive(L"hello.example", 8080, L"/Hello", bytesOf("x"), reply,
                                          proxy, 3),
              HttpCommDevice::Success);
    const auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine(), "POST http://hello.example:8080/Hello HTTP/1.1");
}

// The device on the transport of the build, with the loopback server as
// hello server and submit server.
class DeviceOverLoopbackTest : public HttpTransportTest {
protected:
    void SetUp() override
    {
        HttpTransportTest::SetUp();
        m_queueName = testsupport::uniqueName(L"loopq") + L".dat";
        m_device.reset(new HttpCommDevice(m_system, m_clock, m_queueName));
        const std::string hello =
            "motd=hi;server=http://127.0.0.1:" + std::to_string(m_server.port()) + "/Tavelin";
        m_server.setHandler([this, hello](const RawRequest& request) {
            Reply r;
            if (request.requestLine().find("/Hello") != std::string::npos)
                r.body = hello;
            else if (request.requestLine().find("/Tavelin/SubmitMsg") != std::string::npos) {
                ByteArray body = bytesOf(request.body);
                ByteArray reply;
                Request fake;
                fake.path = HttpCommDevice::SubmitPath;
                fake.body = body;
                std::lock_guard<std::mutex> lock(m_scriptMutex);
                if (m_fail404)
                    r.status = 404;
                else if (m_script.handle(fake, reply) == HttpCommDevice::Success)
                    r.body = text(reply);
            }
            return r;
        });
    }
    void TearDown() override
    {
        m_device.reset();
        testsupport::removeFile(File::getTempPath() + File::Separator + m_queueName);
    }
    int events(HttpCommDevice::HttpCommDeviceEvent wanted)
    {
        int n = 0;
        while (Msg* raw = m_device->popMessage()) {
            std::unique_ptr<Msg> msg(raw);
            int event = -1;
            if (msg->getAttributeValue(L"HttpCommEvent", event) && event == wanted)
                ++n;
        }
        return n;
    }

    ScriptedDesktop m_desktop;
    ManualClock m_clock{1800000000};
    System m_system{m_desktop, m_clock};
    std::mutex m_scriptMutex;
    ScriptedServer m_script;
    bool m_fail404 = false;
    std::wstring m_queueName;
    std::unique_ptr<HttpCommDevice> m_device;
};

TEST_F(DeviceOverLoopbackTest, QueuedMessagesReachTheServerAfterLogonAndA404DropsTheConnection)
{
    Msg* status = new Msg();
    status->setType(Msg::SYSTEM_STATE_CHANGE);
    status->setAttributeValue(L"SystemState", 9);
    m_device->pushMessage(status);
    m_clock.advance(42);

    m_device->resetConnection(L"ann", {{L"127.0.0.1", m_server.port()}});
    Msg* challenge = new Msg();
    challenge->setType(Msg::CHALLENGE_REQUEST);
    m_device->pushMessage(challenge);
    ASSERT_TRUE(m_device->sendReceiveMsgs());
    ASSERT_TRUE(m_device->isConnected());
    const ByteArray key = m_script.sessionKey();
    m_device->setSessionKey(&key);
    m_system.getTavelinSessionDetails().setUserID(41);
    m_device->sendReceiveMsgs();
    {
        std::lock_guard<std::mutex> lock(m_scriptMutex);
        ASSERT_EQ(m_script.stored.size(), 1u);
        int delta = 0;
        m_script.stored[0].getAttributeValue(L"EventTimeDelta", delta);
        EXPECT_EQ(delta, 42);
        m_fail404 = true;
    }
    events(HttpCommDevice::Success);
    Msg* live = new Msg();
    live->setType(Msg::SYSTEM_STATE_CHANGE);
    m_device->pushMessage(live);
    EXPECT_FALSE(m_device->sendReceiveMsgs());
    EXPECT_EQ(events(HttpCommDevice::ResponseFailure), 1);
    EXPECT_FALSE(m_device->isConnected());
    EXPECT_EQ(m_device->getQueuedCount(), 1) << "kept for the next logon";
}

} // namespace
