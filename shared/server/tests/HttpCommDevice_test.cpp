#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "HttpCommDeviceFixture.h"
#include "HttpTestSupport.h"
#include "base/Exception.h"
#include "base/File.h"
#include "shared/server/FileMsgQueue.h"
#include "testsupport/EventCapture.h"

using namespace httptest;

namespace {

TEST_F(HttpCommDeviceTest, OfflineMessageIsQueuedWithItsTimeAndWithoutItsIcon)
{
    m_device->pushMessage(status(3));

    EXPECT_EQ(ScriptedDevice::events(m_device->takeInbound()), Events{HttpCommDevice::Success});
    EXPECT_EQ(m_device->getOutQSize(), 0u);
    ASSERT_EQ(m_device->getQueuedCount(), 1);
    std::unique_ptr<Msg> stored = firstStoredMessage();
    ASSERT_TRUE(stored);
    EXPECT_EQ(intOf(*stored, L"EventTime"), 1800000000);
    EXPECT_FALSE(stored->containsByteArrayAttribute(L"Icon"));
    EXPECT_EQ(stateOf(*stored), 3);
}

TEST_F(HttpCommDeviceTest, WithoutAServerNothingIsSentAndTheQueueIsKept)
{
    m_device->pushMessage(status(1));
    EXPECT_FALSE(m_device->sendReceiveMsgs());
    EXPECT_TRUE(m_server.requests.empty());
    EXPECT_EQ(m_device->getQueuedCount(), 1);
}

TEST_F(HttpCommDeviceTest, QueuedMessageReachesTheServerAfterLogonWithItsAgeAndTheUserId)
{
    m_device->pushMessage(status(2));
    m_clock.advance(125);
    connect();
    m_system.getTavelinSessionDetails().setMachineID(7);

    EXPECT_FALSE(m_device->sendReceiveMsgs()) << "queued messages leave one per step";
    ASSERT_EQ(m_server.stored.size(), 1u);
    const Msg& got = m_server.stored[0];
    EXPECT_EQ(intOf(got, L"EventTimeDelta"), 125);
    EXPECT_FALSE(got.containsIntAttribute(L"EventTime"));
    EXPECT_EQ(intOf(got, L"UserID"), 41);
    EXPECT_EQ(intOf(got, L"MachineID"), 7);
    EXPECT_FALSE(got.containsStringAttribute(L"MachineName"));
    EXPECT_FALSE(got.containsStringAttribute(L"MachineDomain"));
    EXPECT_EQ(m_device->getQueuedCount(), 0);
    // The reply was handed on, with the submission's event before it.
    auto inbound = m_device->takeInbound();
    ASSERT_EQ(inbound.size(), 2u);
    EXPECT_EQ(ScriptedDevice::events(inbound), Events{HttpCommDevice::Success});
    EXPECT_EQ(inbound[1]->getType(), Msg::ACKNOWLEDGEMENT);
}

TEST_F(HttpCommDeviceTest, LiveMessageIsSentAsItCameEncryptedUnderTheSessionKey)
{
    connect();
    m_device->pushMessage(status(5));
    EXPECT_EQ(m_device->getQueuedCount(), 0);
    EXPECT_TRUE(m_device->sendReceiveMsgs()) << "a live message lets the loop go on";

    const Request& sent = m_server.requests.back();
    EXPECT_EQ(sent.path, L"/Tavelin/SubmitMsg");
    EXPECT_EQ(sent.host, L"submit");
    EXPECT_EQ(sent.port, 8080);
    EXPECT_EQ(sent.timeout, 30u);
    Msg envelope;
    envelope.fromByteArray(sent.body);
    EXPECT_TRUE(envelope.isSecure());
    EXPECT_EQ(intOf(envelope, L"UserID"), 41);
    EXPECT_FALSE(envelope.containsIntAttribute(L"SystemState")) << "only the id travels in clear";
    ASSERT_EQ(m_server.stored.size(), 1u);
    EXPECT_FALSE(m_server.stored[0].containsIntAttribute(L"EventTime"));
    EXPECT_FALSE(m_server.stored[0].containsIntAttribute(L"EventTimeDelta"));
    EXPECT_EQ(stateOf(m_server.stored[0]), 5);
}

TEST_F(HttpCommDeviceTest, LogonMessagesTravelPlainAndWithoutAStamp)
{
    m_device->resetConnection(L"ann", {{L"hello", 80}});
    Msg* challenge = new Msg();
    challenge->setType(Msg::CHALLENGE_REQUEST);
    challenge->setAttributeValue(L"TavelUsername", std::wstring(L"ann"));
    m_device->pushMessage(challenge);
    EXPECT_EQ(m_device->getQueuedCount(), 0) << "a logon message skips the file queue";
    ASSERT_TRUE(m_device->sendReceiveMsgs());
    Msg sent;
    sent.fromByteArray(m_server.requests.back().body);
    EXPECT_FALSE(sent.isSecure());
    EXPECT_EQ(sent.getType(), Msg::CHALLENGE_REQUEST);
    EXPECT_FALSE(sent.containsIntAttribute(L"EventTime"));
}

TEST_F(HttpCommDeviceTest, Status404IsAResponseFailureAndTheMessageWaitsForTheNextLogon)
{
    connect();
    m_device->pushMessage(status(4));
    m_server.failPath[L"/Tavelin/SubmitMsg"] = HttpCommDevice::ResponseFailure;
    m_clock.advance(20);

    EXPECT_FALSE(m_device->sendReceiveMsgs());
    EXPECT_EQ(ScriptedDevice::events(m_device->takeInbound()),
              Events{HttpCommDevice::ResponseFailure});
    EXPECT_FALSE(m_device->isConnected());
    EXPECT_EQ(m_device->getQueuedCount(), 1);

    m_server.failPath.clear();
    m_clock.advance(40);
    connect();
    m_device->sendReceiveMsgs();
    ASSERT_EQ(m_server.stored.size(), 1u);
    EXPECT_EQ(intOf(m_server.stored[0], L"EventTimeDelta"), 60)
        << "the age counts from when the message was first accepted";
}

TEST_F(HttpCommDeviceTest, ResolveAndConnectFailuresRaiseTheirEventsAndKeepTheMessage)
{
    for (auto failure : {HttpCommDevice::ResolveFailure, HttpCommDevice::ConnectFailure,
                         HttpCommDevice::SendFailure}) {
        connect();
        m_server.failHost[L"submit"] = failure;
        m_device->pushMessage(status(static_cast<int>(failure)));
        EXPECT_FALSE(m_device->sendReceiveMsgs());
        EXPECT_EQ(ScriptedDevice::events(m_device->takeInbound()), Events{failure});
        EXPECT_FALSE(m_device->isConnected());
        m_server.failHost.clear();
    }
    EXPECT_EQ(m_device->getQueuedCount() + static_cast<int>(m_device->getOutQSize()), 3)
        << "the last one is still in the live queue";
    connect();
    drain();
    std::multiset<int> states;
    for (const Msg& m : m_server.stored)
        states.insert(stateOf(m));
    EXPECT_EQ(states, (std::multiset<int>{4, 5, 10})) << "each delivered once";
}

TEST_F(HttpCommDeviceTest, MessageWhoseConnectionAttemptFailsIsQueuedWithItsFirstTime)
{
    connect();
    m_device->pushMessage(status(8));
    m_device->resetConnection(L"ann", {{L"hello", 80}});
    m_server.failHost[L"hello"] = HttpCommDevice::ConnectFailure;
    m_clock.advance(30);
    EXPECT_FALSE(m_device->sendReceiveMsgs());
    ASSERT_EQ(m_device->getQueuedCount(), 1);

    std::unique_ptr<Msg> stored = firstStoredMessage();
    ASSERT_TRUE(stored);
    EXPECT_EQ(intOf(*stored, L"EventTime"), 1800000000);
    EXPECT_FALSE(stored->containsIntAttribute(L"EventTimeDelta"));
}

TEST_F(HttpCommDeviceTest, MessagesArrivingBeforeTheSessionKeyWaitInTheFileQueue)
{
    m_device->resetConnection(L"ann", {{L"hello", 80}});
    ASSERT_TRUE(m_device->establishConnectability());
    m_device->takeInbound();
    m_device->pushMessage(status(6));
    EXPECT_EQ(m_device->getQueuedCount(), 1);
    EXPECT_FALSE(m_device->sendReceiveMsgs());
    EXPECT_EQ(m_trace.count(1063607), 0u) << "no send without a key was tried";
    EXPECT_TRUE(m_device->isConnected());
}

TEST_F(HttpCommDeviceTest, UpdateThatDoesNotVerifyIsASecureSessionFailureAndNotDelivered)
{
    connect();
    m_server.submitOverride = [](const Msg&, ByteArray& reply) {
        Msg inside;
        inside.setType(Msg::UPDATE);
        inside.setAttributeValue(L"MachineID", 9);
        const ByteArray wrongKey("wrong key 123456", 16);
        std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(inside, wrongKey));
        reply = ScriptedServer::bytes(*envelope);
        return true;
    };
    m_device->pushMessage(status(1));
    EXPECT_FALSE(m_device->sendReceiveMsgs());
    auto inbound = m_device->takeInbound();
    EXPECT_EQ(ScriptedDevice::events(inbound),
              (Events{HttpCommDevice::Success, HttpCommDevice::SecureSessionFailure}));
    EXPECT_EQ(inbound.size(), 2u) << "the update itself is not handed on";
    EXPECT_FALSE(m_device->isConnected());
}

TEST_F(HttpCommDeviceTest, SignedUpdateIsDecryptedBeforeItIsHandedOn)
{
    connect();
    const ByteArray key = m_server.sessionKey();
    m_server.submitOverride = [&key](const Msg&, ByteArray& reply) {
        Msg inside;
        inside.setType(Msg::UPDATE);
        inside.setAttributeValue(L"MachineID", 9);
        std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(inside, key));
        reply = ScriptedServer::bytes(*envelope);
        return true;
    };
    m_device->pushMessage(status(1));
    EXPECT_TRUE(m_device->sendReceiveMsgs());
    auto inbound = m_device->takeInbound();
    ASSERT_EQ(inbound.size(), 2u);
    EXPECT_EQ(inbound[1]->getType(), Msg::UPDATE);
    EXPECT_FALSE(inbound[1]->isSecure());
    EXPECT_EQ(intOf(*inbound[1], L"MachineID"), 9);
}

TEST_F(HttpCommDeviceTest, GarbageReplyClearsTheConnectionAndKeepsTheMessage)
{
    connect();
    m_server.submitOverride = [](const Msg&, ByteArray& reply) {
        reply = ByteArray("garbage!", 8);
        return true;
    };
    m_device->pushMessage(status(1));
    EXPECT_FALSE(m_device->sendReceiveMsgs());
    EXPECT_EQ(m_trace.count(1063609), 1u);
    EXPECT_FALSE(m_device->isConnected());
    EXPECT_EQ(m_device->getQueuedCount(), 1);
}

// A message that needs no envelope, sized to serialise to exactly n bytes
// once the device has filled in the ids.
Msg* plainOfSize(int32_t n)
{
    std::unique_ptr<Msg> msg(new Msg());
    msg->setType(Msg::PLUGIN_INFO);
    msg->setAttributeValue(L"UserID", -1);
    msg->setAttributeValue(L"MachineID", -1);
    msg->setAttributeValue(L"Pad", new ByteArray());
    const int32_t base = msg->getSerializedSizeRequirement();
    std::unique_ptr<ByteArray> pad(new ByteArray());
    std::memset(pad->getBuffer(n - base), 'p', static_cast<size_t>(n - base));
    msg->setAttributeValue(L"Pad", pad.release());
    EXPECT_EQ(msg->getSerializedSizeRequirement(), n);
    msg->removeIntAttribute(L"UserID");
    msg->removeIntAttribute(L"MachineID");
    return msg.release();
}

TEST_F(HttpCommDeviceTest, MessageAboveOneMebibyteIsRefusedAndOneAtTheLimitIsSent)
{
    connect();
    m_device->pushMessage(plainOfSize(1048577));
    EXPECT_FALSE(m_device->sendReceiveMsgs());
    EXPECT_EQ(ScriptedDevice::events(m_device->takeInbound()),
              Events{HttpCommDevice::InvalidMessageSize});
    testsupport::CapturedEvent e = m_trace.find(1063601);
    EXPECT_EQ(e.description, L"Invalid Msg Size");
    EXPECT_NE(e.details.find(L"1048577"), std::wstring::npos);
    const size_t before = m_server.requests.size();

    m_device->pushMessage(plainOfSize(1048576));
    EXPECT_TRUE(m_device->sendReceiveMsgs());
    ASSERT_EQ(m_server.requests.size(), before + 1);
    EXPECT_EQ(m_server.requests.back().body.getSize(), 1048576);
}

TEST_F(HttpCommDeviceTest, QueuedMessageFromTheFutureIsDropped)
{
    m_device->pushMessage(status(1));
    m_clock.set(m_clock.now() - 10); // the user set the clock back
    connect();
    EXPECT_FALSE(m_device->sendReceiveMsgs());
    EXPECT_TRUE(m_server.stored.empty());
    EXPECT_EQ(m_device->getQueuedCount(), 0);
}

TEST_F(HttpCommDeviceTest, KnownApplicationIsSentByItsIdWithoutItsVersionFields)
{
    testsupport::TempFolder folder(L"httpapp");
    const std::wstring exe = folder.file(L"tool.exe");
    testsupport::writeFile(exe, std::string("MZ not really"));
    m_system.addApplication(exe.c_str(), 77);
    connect();
    Msg* change = new Msg();
    change->setType(Msg::APPLICATION_CHANGE);
    change->setAttributeValue(L"FilePath", exe);
    change->setAttributeValue(L"ProductName", std::wstring(L"Tool"));
    change->setAttributeValue(L"CompanyName", std::wstring(L"Us"));
    m_device->pushMessage(change);
    m_device->sendReceiveMsgs();
    ASSERT_EQ(m_server.stored.size(), 1u);
    EXPECT_EQ(intOf(m_server.stored[0], L"ApplicationID"), 77);
    EXPECT_FALSE(m_server.stored[0].containsStringAttribute(L"FilePath"));
    EXPECT_FALSE(m_server.stored[0].containsStringAttribute(L"ProductName"));
}

TEST_F(HttpCommDeviceTest, UnknownApplicationIsRecordedWithoutAnId)
{
    connect();
    Msg* change = new Msg();
    change->setType(Msg::APPLICATION_CHANGE);
    change->setAttributeValue(L"FilePath", std::wstring(L"/nowhere/app.exe"));
    m_device->pushMessage(change);
    m_device->sendReceiveMsgs();
    ASSERT_EQ(m_server.stored.size(), 1u);
    EXPECT_FALSE(m_server.stored[0].containsIntAttribute(L"ApplicationID"));
    EXPECT_TRUE(m_server.stored[0].containsStringAttribute(L"FilePath"));
    EXPECT_TRUE(m_system.exists(L"/nowhere/app.exe"));
    EXPECT_EQ(m_system.getApplicationID(L"/nowhere/app.exe"), -1);
}

TEST_F(HttpCommDeviceTest, MissingKeyToDecryptIsASendFailure)
{
    Msg* update = new Msg();
    update->setType(Msg::UPDATE);
    EXPECT_FALSE(m_device->decryptMsgIfNecessary(update));
    EXPECT_EQ(update, nullptr);
    EXPECT_EQ(ScriptedDevice::events(m_device->takeInbound()), Events{HttpCommDevice::SendFailure});
    EXPECT_EQ(m_trace.count(1063610), 1u);

    Msg* ack = new Msg();
    ack->setType(Msg::ACKNOWLEDGEMENT);
    EXPECT_TRUE(m_device->decryptMsgIfNecessary(ack));
    EXPECT_EQ(ack->getType(), Msg::ACKNOWLEDGEMENT);
    delete ack;
}

TEST_F(HttpCommDeviceTest, TheFileQueueOfAnEarlierRunIsPickedUp)
{
    m_device->pushMessage(status(1));
    m_device->pushMessage(status(2));
    m_device.reset(new ScriptedDevice(m_system, m_clock, m_server, m_queueName));
    EXPECT_EQ(m_device->getQueuedCount(), 2);
    connect();
    drain();
    ASSERT_EQ(m_server.stored.size(), 2u);
    EXPECT_EQ(stateOf(m_server.stored[0]), 1);
    EXPECT_EQ(stateOf(m_server.stored[1]), 2);
}

} // namespace

namespace {

TEST_F(HttpCommDeviceTest, AFailureOfAnyKindInOneStepIsTracedAndTheWorkerGoesOn)
{
    connect();
    bool fail = true;
    m_server.submitOverride = [&fail](const Msg&, ByteArray&) -> bool {
        if (fail)
            throw SystemException(1059999, L"disk on fire", TC_AT(L"test"));
        return false;
    };
    m_device->pushMessage(status(1));
    EXPECT_FALSE(m_device->sendReceiveMsgs());
    testsupport::CapturedEvent e = m_trace.find(1063602);
    EXPECT_EQ(e.exceptionId, 1059999);
    fail = false;
    m_device->pushMessage(status(2));
    EXPECT_TRUE(m_device->sendReceiveMsgs());
    ASSERT_FALSE(m_server.stored.empty());
    EXPECT_EQ(stateOf(m_server.stored.back()), 2);
}

} // namespace
