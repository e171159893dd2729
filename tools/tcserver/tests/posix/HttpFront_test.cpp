#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "ServerTestSupport.h"
#include "base/Utf16.h"
#include "base/posix/ScopedFd.h"
#include "tools/tcserver/posix/HttpFront.h"
#include "tools/tcserver/posix/ServerText.h"

using namespace servertest;

namespace {

// errno of a plain TCP connect to the loopback port (0 when it connects).
int connectError(int port)
{
    ScopedFd fd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return 0;
    return errno;
}

class HttpFrontTest : public ::testing::Test {
protected:
    void start(const std::string& requestLog = std::string())
    {
        HttpOptions options;
        options.port = 0;
        options.threads = 8;
        options.requestLog = requestLog;
        front = std::make_unique<HttpFront>(f.server(), f.faults(), options);
        port = front->start();
        ASSERT_GT(port, 0);
        // The HTTP library is not built for ThreadSanitizer, and its first
        // request initialises a function-local table that later requests
        // read without a lock the sanitizer can see. One request served
        // before any test's own orders that initialisation before them.
        std::string reply;
        ASSERT_EQ(200, SubmitClient("127.0.0.1", port).post("/Tavelin/Echo", "echo", reply));
    }
    void TearDown() override
    {
        if (front)
            front->stop();
    }
    std::unique_ptr<SubmitClient> client() { return std::make_unique<SubmitClient>("127.0.0.1", port); }

    ServerFixture f;
    int aliceId = f.addUser(L"alice", L"pw");
    std::unique_ptr<HttpFront> front;
    int port = 0;
    testsupport::TempFolder folder{L"tcserver-http"};
};

TEST_F(HttpFrontTest, HelloEchoLogonAndStatusOverTheLoopback)
{
    start();
    auto c = client();
    std::string reply;
    EXPECT_EQ(200, c->hello(L"alice", reply));
    EXPECT_EQ("server=http://127.0.0.1:" + std::to_string(port) + "/", reply);
    EXPECT_EQ(200, c->post("/Tavelin/Echo", "echo", reply));

    ASSERT_TRUE(c->logOn(L"alice", L"pw"));
    EXPECT_EQ(aliceId, c->userId());
    auto update = c->sendSecure(longApplicationChange(L"C:\\Apps\\writer.exe", L"report.doc"));
    ASSERT_NE(nullptr, update);
    EXPECT_EQ(Msg::UPDATE, update->getType());
    auto rows = f.db().activity(aliceId, 0, INT64_MAX);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(L"report.doc", rows[0].context1);
    EXPECT_EQ(intOf(*update, L"ApplicationID"), rows[0].applicationId.value_or(-1));
}

TEST_F(HttpFrontTest, OtherPathsAndMethodsAreNotFound)
{
    start();
    auto c = client();
    std::string reply;
    EXPECT_EQ(404, c->post("/Tavelin/Other", "x", reply));
}

TEST_F(HttpFrontTest, RequestLogShowsEachRequestAsItArrived)
{
    const std::string log = Utf16::toUtf8(folder.file(L"requests.jsonl"));
    start(log);
    auto c = client();
    std::string reply;
    const std::string body("\x01\x00\x00\x00\x2a", 5);
    c->post("/Tavelin/SubmitMsg", body, reply);
    front->stop();

    std::ifstream in(log);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_NE(std::string::npos, line.find("\"path\":\"/Tavelin/Echo\"")) << "the fixture's first request: " << line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_NE(std::string::npos, line.find("\"method\":\"POST\""));
    EXPECT_NE(std::string::npos, line.find("\"path\":\"/Tavelin/SubmitMsg\""));
    EXPECT_NE(std::string::npos, line.find("[\"User-Agent\",\"Tavelin Client/1.0\"]"));
    EXPECT_NE(std::string::npos, line.find("[\"Content-Type\",\"application/octet-stream\"]"));
    EXPECT_NE(std::string::npos, line.find("\"body\":\"" + ServerText::base64(body) + "\"")) << line;
    EXPECT_NE(std::string::npos, line.find("\"status\":200"));
    EXPECT_FALSE(std::getline(in, line)) << "one line per request: " << line;
}

TEST_F(HttpFrontTest, RefuseClosesTheListenerUntilSwitchedOff)
{
    start();
    EXPECT_EQ(0, connectError(port));
    ASSERT_TRUE(front->applyFault("refuse"));
    EXPECT_EQ(ECONNREFUSED, connectError(port));
    std::string reply;
    EXPECT_EQ(-1, client()->post("/Tavelin/Echo", "echo", reply));
    ASSERT_TRUE(front->applyFault("none"));
    EXPECT_EQ(200, client()->post("/Tavelin/Echo", "echo", reply));
}

TEST_F(HttpFrontTest, NotFoundOnOnePathLeavesTheOthers)
{
    start();
    ASSERT_TRUE(front->applyFault("404=/Hello"));
    auto c = client();
    std::string reply;
    EXPECT_EQ(404, c->hello(L"alice", reply));
    EXPECT_EQ(200, c->post("/Tavelin/Echo", "echo", reply));
    ASSERT_TRUE(front->applyFault("404"));
    EXPECT_EQ(404, c->post("/Tavelin/Echo", "echo", reply));
}

TEST_F(HttpFrontTest, GarbageRepliesAreNoMessage)
{
    start();
    auto c = client();
    ASSERT_TRUE(c->logOn(L"alice", L"pw"));
    ASSERT_TRUE(front->applyFault("garbage=/Tavelin/SubmitMsg"));
    EXPECT_EQ(nullptr, c->sendSecure(stateChange(L"SystemStateIdle")));
    EXPECT_EQ(200, c->lastStatus());
    std::string reply;
    EXPECT_EQ(200, c->hello(L"alice", reply));
    EXPECT_EQ(0u, reply.find("server="));
}

TEST_F(HttpFrontTest, HtmlHelloStartsWithAnAngleBracket)
{
    start();
    ASSERT_TRUE(front->applyFault("htmlhello"));
    std::string reply;
    EXPECT_EQ(200, client()->hello(L"alice", reply));
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ('<', reply[0]);
}

TEST_F(HttpFrontTest, ALostReplyStillStoresAndTheRepeatIsAnsweredOnce)
{
    start();
    auto c = client();
    ASSERT_TRUE(c->logOn(L"alice", L"pw"));
    ASSERT_TRUE(front->applyFault("lostreply=1"));
    Msg msg = longApplicationChange(L"C:\\Apps\\writer.exe", L"report.doc");
    EXPECT_EQ(nullptr, c->sendSecure(msg));
    EXPECT_EQ(500, c->lastStatus());
    EXPECT_EQ(1u, f.db().activity(aliceId, 0, INT64_MAX).size());

    f.now += 30;
    msg.setAttributeValue(L"EventTimeDelta", 30);
    auto update = c->sendSecure(msg);
    ASSERT_NE(nullptr, update);
    EXPECT_EQ(Msg::UPDATE, update->getType());
    EXPECT_EQ(1u, f.db().activity(aliceId, 0, INT64_MAX).size());
}

// The answer that stands in for the server comes after the body is read:
// a connection closed on an unread body is reset, and the client would see
// a dropped connection instead of the 404.
TEST_F(HttpFrontTest, AFaultAnswerWithALargeBodyPendingStillReachesTheClient)
{
    start();
    ASSERT_TRUE(front->applyFault("404=/Tavelin/SubmitMsg"));
    const std::string body(900 * 1024, '\x5a');
    std::string reply;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(404, client()->post("/Tavelin/SubmitMsg", body, reply)) << "attempt " << i;
    ASSERT_TRUE(front->applyFault("none"));
    ASSERT_TRUE(front->applyFault("garbage=/Tavelin/SubmitMsg"));
    EXPECT_EQ(200, client()->post("/Tavelin/SubmitMsg", body, reply));
    EXPECT_EQ(64u, reply.size());
}

TEST_F(HttpFrontTest, ControlPortSwitchesFaultsAndRefusesUnknownOnes)
{
    start();
    const int control = front->startControl(0);
    SubmitClient controller("127.0.0.1", control);
    std::string reply;
    EXPECT_EQ(400, controller.post("/fault", "bogus", reply));
    EXPECT_EQ(200, controller.post("/fault", "404=/Tavelin/Echo", reply));
    EXPECT_EQ("404=/Tavelin/Echo\n", reply);
    EXPECT_EQ(404, client()->post("/Tavelin/Echo", "echo", reply));
    EXPECT_EQ(200, controller.post("/fault", "none", reply));
    EXPECT_EQ("none\n", reply);
    EXPECT_EQ(200, client()->post("/Tavelin/Echo", "echo", reply));
}

TEST_F(HttpFrontTest, ConcurrentClientsEachHaveEveryMessageStored)
{
    start();
    const int users = 6, messages = 15;
    std::vector<int> ids;
    for (int u = 0; u < users; ++u)
        ids.push_back(f.addUser(L"user" + std::to_wstring(u), L"pw"));
    std::vector<std::thread> threads;
    std::vector<int> failures(users, 0);
    for (int u = 0; u < users; ++u) {
        threads.emplace_back([&, u] {
            SubmitClient c("127.0.0.1", port, true);
            if (!c.logOn(L"user" + std::to_wstring(u), L"pw")) {
                failures[u] = messages;
                return;
            }
            for (int m = 0; m < messages; ++m) {
                auto reply = c.sendSecure(shortApplicationChange(ServerDatabase::PhoneApplicationId,
                                                                 L"call " + std::to_wstring(m)));
                if (!reply || reply->getType() != Msg::ACKNOWLEDGEMENT)
                    ++failures[u];
            }
        });
    }
    for (auto& t : threads)
        t.join();
    for (int u = 0; u < users; ++u) {
        EXPECT_EQ(0, failures[u]) << "user" << u;
        EXPECT_EQ(static_cast<size_t>(messages), f.db().activity(ids[u], 0, INT64_MAX).size()) << "user" << u;
    }
}

} // namespace
