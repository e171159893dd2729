// The client's transport and logon services against the reference server,
// run by shared/server/tests/e2e/run_e2e.py, which starts the server on the
// loopback, tells these tests where it is through the environment, and reads
// the server's database afterwards against what the tests wrote down. Run
// without that driver, the tests skip.
//
//   TC_E2E_SERVER   host:port of the server (hello and submit server)
//   TC_E2E_CONTROL  the server's fault-switch port
//   TC_E2E_USER, TC_E2E_PASSWORD   an account on the server
//   TC_E2E_OUT      a file the tests write what they sent into ("tag time queued")
//   TC_E2E_PROXY    host:port of an HTTP proxy on the loopback (proxy test only)
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/File.h"
#include "base/Registry.h"
#include "base/Tools.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/Clock.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "shared/server/HelloServerFinder.h"
#include "shared/server/HttpCommDevice.h"
#include "shared/server/SecurityDevice.h"
#include "shared/server/ServerConnectionManagerService.h"
#include "shared/server/ServerLogonService.h"
#include "shared/server/ServerResponseHandlerService.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::wstring wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

// Remembers what came back from the server and the device.
class Recorder : public Service {
public:
    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override
    {
        const Msg::MsgType t = msg.getType();
        return t == Msg::HTTP_COMM_DEVICE || t == Msg::ACKNOWLEDGEMENT || t == Msg::UPDATE ||
               t == Msg::CONNECTION_STATUS_CHANGE || t == Msg::ERROR_MSG;
    }
    bool processMsg(Msg& msg) override
    {
        int event = -1;
        if (msg.getType() == Msg::HTTP_COMM_DEVICE &&
            msg.getAttributeValue(L"HttpCommEvent", event))
            ++events[event < 16 && event >= 0 ? event : 15];
        if (msg.getType() == Msg::ACKNOWLEDGEMENT || msg.getType() == Msg::UPDATE)
            ++replies;
        return true;
    }
    using Service::sendMessage;
    int events[16] = {};
    int replies = 0;
};

class Client : public ApplicationFramework {
public:
    Client(System& system, const Clock& managerClock, const std::wstring& queueName,
           const std::wstring& serversKey, const std::wstring& signInKey,
           const std::wstring& olderKey)
    {
        addCommunicationDevice(new InternalCommDevice());
        device = new HttpCommDevice(system, Clock::system(), queueName);
        addCommunicationDevice(device);
        logon = new ServerLogonService(system, *device, serversKey);
        addService(logon);
        manager =
            new ServerConnectionManagerService(system, *logon, managerClock, signInKey, olderKey);
        addService(manager);
        addService(new ServerResponseHandlerService(system));
        recorder = new Recorder();
        addService(recorder);
    }
    HttpCommDevice* device;
    ServerLogonService* logon;
    ServerConnectionManagerService* manager;
    Recorder* recorder;
};

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string server = env("TC_E2E_SERVER");
        if (server.empty())
            GTEST_SKIP()
                << "run by shared/server/tests/e2e/run_e2e.py against the reference server";
        const size_t colon = server.rfind(':');
        m_host = wide(server.substr(0, colon));
        m_port = std::atoi(server.substr(colon + 1).c_str());
        m_control = std::atoi(env("TC_E2E_CONTROL").c_str());
        m_user = wide(env("TC_E2E_USER"));
        m_password = wide(env("TC_E2E_PASSWORD"));
        Registry servers(Registry::LocalMachine, m_serversKey.path());
        for (int i = 0; i < 5; ++i) {
            servers.write(L"server." + std::to_wstring(i) + L".host", m_host);
            servers.write(L"server." + std::to_wstring(i) + L".port", m_port);
        }
        Registry signIn(Registry::CurrentUser, m_signInKey.path());
        signIn.write(L"Username", m_user);
        signIn.write(L"SessionID", SecurityDevice::encryptString(m_password, m_user));
        m_queueName = testsupport::uniqueName(L"e2eq") + L".dat";
        fault("none");
        m_client.reset(new Client(m_system, m_managerClock, m_queueName, m_serversKey.path(),
                                  m_signInKey.path(), m_olderKey.path()));
        ASSERT_TRUE(m_client->setup());
    }
    void TearDown() override
    {
        m_client.reset();
        if (!m_queueName.empty())
            testsupport::removeFile(File::getTempPath() + File::Separator + m_queueName);
        if (!m_out.empty())
            std::ofstream(env("TC_E2E_OUT"), std::ios::app) << m_out;
    }

    // Pulses the client until the condition holds; the limit only guards
    // against a hang.
    template <class Ready>
    bool runUntil(Ready ready, int limitMs = 60000)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!ready()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            if (!m_client->pulse())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    std::string traced()
    {
        std::string out;
        for (const auto& e : m_trace.all())
            out += std::to_string(e.id) + " " +
                   std::string(e.description.begin(), e.description.end()) +
                   std::string(e.details.begin(), e.details.end()) + "\n";
        return out;
    }
    Status status() { return m_system.getTavelinSessionDetails().getConnectionStatus(); }
    Error error() { return m_system.getTavelinSessionDetails().getConnectionError(); }

    // Switches a fault of the server, through its control port.
    void fault(const std::string& name)
    {
        ByteArray reply;
        ASSERT_EQ(HttpCommDevice::sendReceive(m_host.c_str(), m_control, L"/fault",
                                              ByteArray(name.data(), int32_t(name.size())), reply,
                                              ProxySettings(), 5),
                  HttpCommDevice::Success)
            << name;
    }

    // An activity message tagged so that its row can be found, sent the way
    // the status update service sends it; its tag and creation time are
    // written down for the driver.
    void send(const std::string& tag, bool queued)
    {
        Msg* msg = new Msg();
        msg->setType(Msg::APPLICATION_CHANGE);
        msg->setAttributeValue(L"ContextString1", wide(tag));
        msg->setAttributeValue(L"ContextString2", std::wstring(L"document of ") + wide(tag));
        msg->setAttributeValue(L"ContextString3", std::wstring(L"Unspecified"));
        msg->setAttributeValue(L"FilePath", std::wstring(L"C:\\Tools\\editor.exe"));
        msg->setAttributeValue(L"FileDescription", std::wstring(L"Editor"));
        msg->setAttributeValue(L"OriginalFilename", std::wstring(L"EDITOR.EXE"));
        msg->setAttributeValue(L"ProductVersion", std::wstring(L"1.2.3"));
        msg->setAttributeValue(L"MachineName", std::wstring(L"E2EPC"));
        msg->setAttributeValue(L"MachineDomain", std::wstring(L"E2EDOM"));
        msg->setAttributeValue(L"Icon", new ByteArray("icon bytes", 10));
        m_out +=
            tag + " " + std::to_string(Clock::system().now()) + (queued ? " queued\n" : " live\n");
        m_client->recorder->sendMessage(msg, CommunicationDevice::Http);
    }
    void logOnAgain()
    {
        // The manager's back-off runs on a clock the test moves on, to each
        // logon it schedules.
        ASSERT_TRUE(runUntil([&] {
            if (status() == Status::Connected)
                return true;
            const int64_t next = m_client->manager->getNextLogonTime();
            if (next != 0 && next > m_managerClock.now())
                m_managerClock.set(next);
            return false;
        })) << "status "
            << int(status()) << " error " << int(error()) << " next logon "
            << m_client->manager->getNextLogonTime() - m_managerClock.now() << "\n"
            << traced();
    }

    testsupport::EventRecorder m_trace{testsupport::uniqueName(L"EndToEnd")};
    testsupport::TestKey m_serversKey{L"e2eservers", Registry::LocalMachine};
    testsupport::TestKey m_signInKey{L"e2esignin"};
    testsupport::TestKey m_olderKey{L"e2eolder"};
    ScriptedDesktop m_desktop;
    ManualClock m_managerClock{Clock::system().now()};
    System m_system{m_desktop, Clock::system()};
    std::wstring m_host, m_user, m_password, m_queueName;
    int m_port = 0, m_control = 0;
    std::unique_ptr<Client> m_client;
    std::string m_out;
};

TEST_F(EndToEndTest, MessagesOnlineOfflineAndAcrossLostRepliesAreStoredOnceWithTheirTime)
{
    ASSERT_TRUE(runUntil([&] { return status() == Status::Connected; })) << int(status());
    EXPECT_GT(m_system.getTavelinSessionDetails().getUserID(), 0);

    for (int i = 0; i < 5; ++i)
        send("live-" + std::to_string(i), false);
    ASSERT_TRUE(runUntil([&] { return m_client->recorder->replies >= 5; }));

    // The server goes away: the message in flight and those after it wait
    // in the file queue.
    fault("refuse");
    for (int i = 0; i < 3; ++i)
        send("offline-" + std::to_string(i), true);
    ASSERT_TRUE(runUntil([&] {
        return status() == Status::ConnectionError && m_client->device->getQueuedCount() == 3;
    })) << m_client->device->getQueuedCount();
    EXPECT_EQ(error(), Error::ConnectFailed);
    EXPECT_GE(m_client->recorder->events[HttpCommDevice::ConnectFailure], 1);
    // Some seconds of age for the queued messages.
    std::this_thread::sleep_for(std::chrono::seconds(3));

    fault("none");
    logOnAgain();
    ASSERT_TRUE(runUntil([&] {
        return m_client->device->getQueuedCount() == 0 && m_client->recorder->replies >= 8;
    }));

    // Replies lost after the server stored the messages: they come again
    // and the server keeps one row each.
    fault("lostreply=2");
    for (int i = 0; i < 4; ++i)
        send("stream-" + std::to_string(i), false);
    ASSERT_TRUE(runUntil([&] { return status() == Status::ConnectionError; }));
    EXPECT_GE(m_client->recorder->events[HttpCommDevice::ResponseFailure], 1);
    logOnAgain();
    ASSERT_TRUE(runUntil([&] {
        return m_client->device->getQueuedCount() == 0 && m_client->device->getOutQSize() == 0 &&
               m_client->recorder->replies >= 12;
    })) << m_client->recorder->replies;
}

TEST_F(EndToEndTest, SuspendedAccountIsRefused)
{
    ASSERT_TRUE(runUntil([&] { return status() == Status::ConnectionError; }));
    EXPECT_EQ(error(), Error::AccountSuspended);
}

TEST_F(EndToEndTest, TooOldClientIsRefused)
{
    ASSERT_TRUE(runUntil([&] { return status() == Status::ConnectionError; }));
    EXPECT_EQ(error(), Error::ClientAppTooOld);
}

TEST_F(EndToEndTest, UpdateUnderTheWrongKeyIsASecureSessionFailure)
{
    ASSERT_TRUE(runUntil([&] { return status() == Status::Connected; }));
    fault("wrongkey");
    send("wrongkey", false); // its new machine makes the server answer with an update
    ASSERT_TRUE(runUntil([&] { return status() == Status::ConnectionError; }));
    EXPECT_EQ(error(), Error::SecureSessionFailed);
    EXPECT_EQ(m_client->recorder->events[HttpCommDevice::SecureSessionFailure], 1);
    m_out.clear(); // stored, but its reply was refused; the driver does not count it
}

TEST_F(EndToEndTest, DeviceEventsOf404ARefusedConnectionAndAnOversizedMessage)
{
    ASSERT_TRUE(runUntil([&] { return status() == Status::Connected; }));
    // A message that goes out unsealed, sized to serialise to 1,048,577
    // bytes once the device has filled in the ids.
    std::unique_ptr<Msg> big(new Msg());
    big->setType(Msg::PLUGIN_INFO);
    big->setAttributeValue(L"UserID", 0);
    big->setAttributeValue(L"MachineID", 0);
    big->setAttributeValue(L"Pad", new ByteArray());
    const int32_t base = big->getSerializedSizeRequirement();
    std::unique_ptr<ByteArray> pad(new ByteArray());
    std::fill_n(pad->getBuffer(1048577 - base), 1048577 - base, uint8_t('p'));
    big->setAttributeValue(L"Pad", pad.release());
    ASSERT_EQ(big->getSerializedSizeRequirement(), 1048577);
    m_client->recorder->sendMessage(big.release(), CommunicationDevice::Http);
    ASSERT_TRUE(runUntil(
        [&] { return m_client->recorder->events[HttpCommDevice::InvalidMessageSize] == 1; }));
    EXPECT_EQ(m_trace.count(1063601), 1u);

    fault("404");
    send("four-oh-four", false);
    ASSERT_TRUE(
        runUntil([&] { return m_client->recorder->events[HttpCommDevice::ResponseFailure] >= 1; }));
    EXPECT_EQ(error(), Error::ConnectFailed);
    EXPECT_EQ(m_trace.find(1063620).description, L"HTTP error: 404");
    fault("none");
    logOnAgain();
    ASSERT_TRUE(runUntil([&] { return m_client->device->getQueuedCount() == 0; }));

    fault("refuse");
    send("refused", false);
    ASSERT_TRUE(
        runUntil([&] { return m_client->recorder->events[HttpCommDevice::ConnectFailure] >= 1; }));
    fault("none");
    logOnAgain();
    ASSERT_TRUE(runUntil([&] { return m_client->device->getQueuedCount() == 0; }));
}

// By hand (run_e2e.py latency): how long a status message takes from its
// creation in the client to the server's answer, which the server gives
// after it has stored the row. Prints the figures; asserts only delivery.
TEST_F(EndToEndTest, DISABLED_LatencyFromStatusToStoredRow)
{
    ASSERT_TRUE(runUntil([&] { return status() == Status::Connected; }));
    std::vector<double> ms;
    for (int i = 0; i < 60; ++i) {
        const int before = m_client->recorder->replies;
        const auto start = std::chrono::steady_clock::now();
        send("latency-" + std::to_string(i), false);
        ASSERT_TRUE(runUntil([&] { return m_client->recorder->replies > before; }));
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        // Messages arrive at random moments of the worker's idle wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(37 * (i % 5)));
    }
    m_out.clear();
    std::sort(ms.begin(), ms.end());
    std::printf("latency ms over %zu messages: min %.1f median %.1f p90 %.1f max %.1f\n", ms.size(),
                ms.front(), ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
}

TEST_F(EndToEndTest, HelloThroughARealProxy)
{
    const std::string proxy = env("TC_E2E_PROXY");
    if (proxy.empty())
        GTEST_SKIP() << "no proxy given";
    const size_t colon = proxy.rfind(':');
    const ProxySettings settings(ProxySettings::Proxy, wide(proxy.substr(0, colon)),
                                 std::atoi(proxy.substr(colon + 1).c_str()));
    ByteArray reply;
    ASSERT_EQ(HttpCommDevice::sendReceive(m_host.c_str(), m_port, HelloServerFinder::HelloPath,
                                          HelloServerFinder::helloBody(L"ann"), reply, settings, 3),
              HttpCommDevice::Success);
    HelloServerFinder::HelloResults results;
    HttpCommDevice::ServerList servers;
    ASSERT_TRUE(HelloServerFinder::readHelloReply(reply, results, servers));
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers.front().first, m_host);
    EXPECT_EQ(HttpCommDevice::sendEcho(m_host.c_str(), m_port, settings), HttpCommDevice::Success);
}

} // namespace
