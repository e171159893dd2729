#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ServerTestSupport.h"
#include "base/Exception.h"
#include "shared/server/SecurityDevice.h"
#include "tools/tcserver/posix/ServerText.h"

using namespace servertest;

namespace {

class TcServerTest : public ::testing::Test {
protected:
    ServerFixture f;
    int aliceId = f.addUser(L"alice", L"s3cret Pass");

    // The reply of a raw message handed to the server.
    std::unique_ptr<Msg> submitRaw(const Msg& msg, const std::string& userAgent = "Tavelin Client/1.0")
    {
        ByteArray bytes;
        msg.toByteArray(bytes);
        const ByteArray reply = f.server().submit(bytes, userAgent);
        auto parsed = std::make_unique<Msg>();
        parsed->fromByteArray(reply);
        return parsed;
    }

    std::vector<ActivityRow> rowsOf(int userId) { return f.db().activity(userId, 0, INT64_MAX); }
};

TEST_F(TcServerTest, LogonWithTheRightPasswordGivesTheUserIdUnderTheSessionKey)
{
    auto client = f.client();
    ASSERT_TRUE(client->logOn(L"Alice", L"s3cret Pass"));
    EXPECT_EQ(aliceId, client->userId());
    EXPECT_EQ(16, client->sessionKey().getSize());
    // The reply was an envelope; the server keeps the same key for the user.
    ASSERT_NE(nullptr, client->lastReply());
    EXPECT_TRUE(client->lastReply()->isSecure());
    EXPECT_EQ(client->sessionKey(), f.db().findUser(aliceId)->sessionKey);
    EXPECT_EQ(0, f.db().findUser(aliceId)->challenge.getSize());
}

TEST_F(TcServerTest, WrongPasswordIsRefusedWithAPlainFalseResult)
{
    auto client = f.client();
    EXPECT_FALSE(client->logOn(L"alice", L"s3cret pass"));
    ASSERT_NE(nullptr, client->lastReply());
    EXPECT_EQ(Msg::AUTHENTICATION_RESPONSE, client->lastReply()->getType());
    EXPECT_FALSE(client->lastReply()->isSecure());
    EXPECT_EQ(L"False", stringOf(*client->lastReply(), L"Result"));
    EXPECT_EQ(0, f.db().findUser(aliceId)->sessionKey.getSize());
}

TEST_F(TcServerTest, UnknownUserGetsAChallengeButNoSession)
{
    Msg request;
    request.setType(Msg::CHALLENGE_REQUEST);
    request.setAttributeValue(L"TavelUsername", std::wstring(L"mallory"));
    request.setAttributeValue(L"EmailAddress", std::wstring(L"mallory"));
    auto reply = submitRaw(request);
    EXPECT_EQ(Msg::CHALLENGE_RESPONSE, reply->getType());
    EXPECT_TRUE(reply->containsByteArrayAttribute(L"ChallengeData"));

    auto client = f.client();
    EXPECT_FALSE(client->logOn(L"mallory", L"anything"));
    EXPECT_EQ(L"False", stringOf(*client->lastReply(), L"Result"));
}

TEST_F(TcServerTest, EveryLogonGetsAFreshChallengeThatServesOnce)
{
    Msg request;
    request.setType(Msg::CHALLENGE_REQUEST);
    request.setAttributeValue(L"TavelUsername", std::wstring(L"alice"));
    request.setAttributeValue(L"EmailAddress", std::wstring(L"alice"));
    auto first = submitRaw(request);
    ByteArray* firstData = nullptr;
    ASSERT_TRUE(first->getAttributeValue(L"ChallengeData", firstData));
    const ByteArray firstChallenge = *firstData;
    auto second = submitRaw(request);
    ByteArray* secondData = nullptr;
    ASSERT_TRUE(second->getAttributeValue(L"ChallengeData", secondData));
    EXPECT_EQ(16, secondData->getSize());
    EXPECT_NE(firstChallenge, *secondData);

    // An answer to the first challenge no longer counts.
    Msg authentication;
    authentication.setType(Msg::AUTHENTICATION_REQUEST);
    authentication.setAttributeValue(L"TavelUsername", std::wstring(L"alice"));
    authentication.setAttributeValue(L"EmailAddress", std::wstring(L"alice"));
    const ByteArray hash = SecurityDevice::computePasswordHash(L"s3cret Pass");
    std::unique_ptr<Msg> stale(
        SecurityDevice::signAndEncryptMsg(authentication, SecurityDevice::generateSessionKey(hash, firstChallenge)));
    EXPECT_EQ(L"False", stringOf(*submitRaw(*stale), L"Result"));

    // The stale answer used up the current challenge too; a new one, rightly
    // answered, is accepted once and not replayed.
    auto third = submitRaw(request);
    ByteArray* thirdData = nullptr;
    ASSERT_TRUE(third->getAttributeValue(L"ChallengeData", thirdData));
    std::unique_ptr<Msg> current(
        SecurityDevice::signAndEncryptMsg(authentication, SecurityDevice::generateSessionKey(hash, *thirdData)));
    auto accepted = submitRaw(*current);
    EXPECT_TRUE(accepted->isSecure());
    EXPECT_EQ(Msg::AUTHENTICATION_RESPONSE, accepted->getType());
    EXPECT_EQ(L"False", stringOf(*submitRaw(*current), L"Result"));
}

TEST_F(TcServerTest, AStaleAnswerUsesUpTheChallenge)
{
    // The server allows one answer per challenge, so a wrong guess cannot be
    // followed by more guesses on the same challenge.
    auto client = f.client();
    EXPECT_FALSE(client->logOn(L"alice", L"guess"));
    EXPECT_EQ(0, f.db().findUser(aliceId)->challenge.getSize());
}

TEST_F(TcServerTest, SuspendedAccountIsRefusedAtLogonAndMidSession)
{
    auto client = f.loggedOn(L"alice", L"s3cret Pass");
    ASSERT_TRUE(f.db().setSuspended(L"ALICE", true));

    auto reply = client->sendSecure(stateChange(L"SystemStateIdle"));
    ASSERT_NE(nullptr, reply);
    EXPECT_EQ(Msg::ERROR_MSG, reply->getType());
    EXPECT_EQ(L"AccountSuspended", stringOf(*reply, L"ErrorType"));
    EXPECT_EQ(TcServer::AccountSuspended, intOf(*reply, L"ErrorID"));
    EXPECT_TRUE(rowsOf(aliceId).empty());

    auto again = f.client();
    EXPECT_FALSE(again->logOn(L"alice", L"s3cret Pass"));
    ASSERT_NE(nullptr, again->lastReply());
    EXPECT_EQ(Msg::ERROR_MSG, again->lastReply()->getType());
    EXPECT_EQ(L"AccountSuspended", stringOf(*again->lastReply(), L"ErrorType"));

    // A wrong password on a suspended account tells nothing of the suspension.
    auto guesser = f.client();
    EXPECT_FALSE(guesser->logOn(L"alice", L"guess"));
    EXPECT_EQ(Msg::AUTHENTICATION_RESPONSE, guesser->lastReply()->getType());

    ASSERT_TRUE(f.db().setSuspended(L"alice", false));
    EXPECT_TRUE(f.client()->logOn(L"alice", L"s3cret Pass"));
}

TEST_F(TcServerTest, StateChangeIsStoredAsOneRowWithItsMachine)
{
    auto client = f.loggedOn(L"alice", L"s3cret Pass");
    Msg msg = stateChange(L"SystemStateLocked");
    addMachineName(msg, L"DESK-7", L"OFFICE");
    auto reply = client->sendSecure(msg);
    ASSERT_NE(nullptr, reply);
    ASSERT_EQ(Msg::UPDATE, reply->getType());
    const int machineId = intOf(*reply, L"MachineID");
    EXPECT_GT(machineId, 0);
    EXPECT_FALSE(reply->containsIntAttribute(L"ApplicationID"));

    auto rows = rowsOf(aliceId);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(Msg::SYSTEM_STATE_CHANGE, rows[0].msgType);
    EXPECT_EQ(L"SystemStateLocked", rows[0].systemState.value_or(L""));
    EXPECT_EQ(machineId, rows[0].machineId.value_or(-1));
    EXPECT_EQ(f.now, rows[0].eventTime);
    EXPECT_EQ(f.now, rows[0].arrivalTime);
    EXPECT_FALSE(rows[0].eventTimeDelta.has_value());

    // Known by its id now: a plain acknowledgement, the same machine.
    Msg next = stateChange(L"SystemStateIdle");
    next.setAttributeValue(L"MachineID", machineId);
    f.now += 10;
    auto ack = client->sendSecure(next);
    ASSERT_NE(nullptr, ack);
    EXPECT_EQ(Msg::ACKNOWLEDGEMENT, ack->getType());
    rows = rowsOf(aliceId);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(machineId, rows[1].machineId.value_or(-1));
    // The same machine named again in other case keeps its id.
    Msg third = stateChange(L"SystemStateLocked");
    addMachineName(third, L"desk-7", L"office");
    EXPECT_EQ(machineId, intOf(*client->sendSecure(third), L"MachineID"));
    Msg other = stateChange(L"SystemStateIdle");
    addMachineName(other, L"DESK-8", L"OFFICE");
    EXPECT_NE(machineId, intOf(*client->sendSecure(other), L"MachineID"));
}

TEST_F(TcServerTest, NewExecutablePathGetsAnApplicationIdSentBackWithItsPath)
{
    auto client = f.loggedOn(L"alice", L"s3cret Pass");
    auto reply = client->sendSecure(longApplicationChange(L"C:\\Apps\\writer.exe", L"report.doc"));
    ASSERT_NE(nullptr, reply);
    ASSERT_EQ(Msg::UPDATE, reply->getType());
    const int writerId = intOf(*reply, L"ApplicationID");
    EXPECT_GE(writerId, ServerDatabase::FirstApplicationId);
    EXPECT_EQ(L"C:\\Apps\\writer.exe", stringOf(*reply, L"FilePath"));

    auto rows = rowsOf(aliceId);
    ASSERT_EQ(1u, rows.size());
    const ActivityRow& row = rows[0];
    EXPECT_EQ(Msg::APPLICATION_CHANGE, row.msgType);
    EXPECT_EQ(writerId, row.applicationId.value_or(-1));
    EXPECT_EQ(L"report.doc", row.context1);
    EXPECT_EQ(L"page 2", row.context2);
    EXPECT_EQ(L"", row.context3);
    EXPECT_EQ(bytesOf("hash of C:\\Apps\\writer.exe"), row.applicationHash);
    EXPECT_EQ(L"WRITER.EXE", row.fields.originalFilename);
    EXPECT_EQ(L"Writer", row.fields.fileDescription);
    EXPECT_EQ(L"writer", row.fields.internalName);
    EXPECT_EQ(L"2.7.1.0", row.fields.fileVersion);
    EXPECT_EQ(L"Writer Suite", row.fields.productName);
    EXPECT_EQ(L"2.7", row.fields.productVersion);
    EXPECT_EQ(L"Example Works", row.fields.companyName);
    EXPECT_EQ(L"C:\\Apps\\writer.exe", row.filePath);
    EXPECT_FALSE(row.machineId.has_value());

    // The same path in other case is the same program; another path is not.
    f.now += 5;
    EXPECT_EQ(writerId, intOf(*client->sendSecure(longApplicationChange(L"c:\\apps\\WRITER.exe", L"b.doc")),
                             L"ApplicationID"));
    f.now += 5;
    const int otherId =
        intOf(*client->sendSecure(longApplicationChange(L"C:\\Apps\\sheet.exe", L"c.xls")), L"ApplicationID");
    EXPECT_GT(otherId, writerId);
    EXPECT_EQ(L"Writer", f.db().applicationName(writerId));

    // The short form with the known id is acknowledged and stored with it.
    f.now += 5;
    auto ack = client->sendSecure(shortApplicationChange(writerId, L"d.doc"));
    EXPECT_EQ(Msg::ACKNOWLEDGEMENT, ack->getType());
    rows = rowsOf(aliceId);
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ(writerId, rows[3].applicationId.value_or(-1));
    EXPECT_EQ(L"WRITER.EXE", rows[3].fields.originalFilename);
    EXPECT_EQ(L"", rows[3].filePath);
}

TEST_F(TcServerTest, DeclaredStatesAreStoredWithTheirOwnIds)
{
    auto client = f.loggedOn(L"alice", L"s3cret Pass");
    Msg meeting;
    meeting.setType(Msg::APPLICATION_CHANGE);
    meeting.setAttributeValue(L"ApplicationID", ServerDatabase::MeetingApplicationId);
    meeting.setAttributeValue(L"ContextString1", std::wstring(L"Budget review"));
    meeting.setAttributeValue(L"ContextString2", std::wstring());
    meeting.setAttributeValue(L"ContextString3", std::wstring());
    EXPECT_EQ(Msg::ACKNOWLEDGEMENT, client->sendSecure(meeting)->getType());
    auto rows = rowsOf(aliceId);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(ServerDatabase::MeetingApplicationId, rows[0].applicationId.value_or(-1));
    EXPECT_EQ(L"Budget review", rows[0].context1);
}

TEST_F(TcServerTest, QueuedMessageHappenedItsAgeBeforeItArrived)
{
    auto client = f.loggedOn(L"alice", L"s3cret Pass");
    Msg msg = stateChange(L"SystemStateIdle");
    msg.setAttributeValue(L"EventTimeDelta", 3600);
    client->sendSecure(msg);
    auto rows = rowsOf(aliceId);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(f.now - 3600, rows[0].eventTime);
    EXPECT_EQ(f.now, rows[0].arrivalTime);
    EXPECT_EQ(3600, rows[0].eventTimeDelta.value_or(-1));
}

TEST_F(TcServerTest, ARepeatOfAStoredMessageIsAnsweredButNotStoredAgain)
{
    auto client = f.loggedOn(L"alice", L"s3cret Pass");
    Msg live = longApplicationChange(L"C:\\Apps\\writer.exe", L"report.doc");
    addMachineName(live, L"DESK-7", L"OFFICE");
    auto first = client->sendSecure(live);
    ASSERT_EQ(Msg::UPDATE, first->getType());

    // Its reply was lost: the client queued it with the time it was first
    // accepted and delivers it 40 s later with its age. The same message
    // comes in the same long form, as the client did not learn the ids.
    f.now += 40;
    Msg again(live);
    again.setAttributeValue(L"EventTimeDelta", 41);
    auto second = client->sendSecure(again);
    ASSERT_NE(nullptr, second);
    ASSERT_EQ(Msg::UPDATE, second->getType()) << "the ids must reach the client this time";
    EXPECT_EQ(intOf(*first, L"ApplicationID"), intOf(*second, L"ApplicationID"));
    EXPECT_EQ(intOf(*first, L"MachineID"), intOf(*second, L"MachineID"));
    EXPECT_EQ(1u, rowsOf(aliceId).size());

    // Delivered a third time in the short form (the ids had come meanwhile):
    // still the same message.
    f.now += 10;
    Msg shortForm = shortApplicationChange(intOf(*first, L"ApplicationID"), L"report.doc");
    shortForm.setAttributeValue(L"MachineID", intOf(*first, L"MachineID"));
    shortForm.setAttributeValue(L"EventTimeDelta", 50);
    EXPECT_EQ(Msg::ACKNOWLEDGEMENT, client->sendSecure(shortForm)->getType());
    EXPECT_EQ(1u, rowsOf(aliceId).size());
}

TEST_F(TcServerTest, TheSameContentAgainIsStoredWhenItIsNotARepeat)
{
    auto client = f.loggedOn(L"alice", L"s3cret Pass");
    const int64_t start = f.now;
    client->sendSecure(stateChange(L"SystemStateIdle"));
    f.now = start + 1;
    client->sendSecure(stateChange(L"SystemStateLocked"));
    // Back to idle a second later: another row lies between the two.
    f.now = start + 2;
    client->sendSecure(stateChange(L"SystemStateLocked"));
    client->sendSecure(stateChange(L"SystemStateIdle"));
    // The same state announced again minutes later (the keep-alive).
    f.now = start + 270;
    client->sendSecure(stateChange(L"SystemStateIdle"));
    auto rows = rowsOf(aliceId);
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ(L"SystemStateIdle", rows[0].systemState.value_or(L""));
    EXPECT_EQ(L"SystemStateLocked", rows[1].systemState.value_or(L""));
    EXPECT_EQ(L"SystemStateIdle", rows[2].systemState.value_or(L""));
    EXPECT_EQ(start + 2, rows[2].eventTime);
    EXPECT_EQ(start + 270, rows[3].eventTime);
}

TEST_F(TcServerTest, MessagesAfterALostReplyComeAgainAndAreStoredOnce)
{
    // Two messages of one second both lose their replies; the client sends
    // both again, from its queue, and then the two that followed.
    auto client = f.loggedOn(L"alice", L"s3cret Pass");
    const int64_t sent = f.now;
    Msg first = longApplicationChange(L"C:\\Apps\\writer.exe", L"stream-0");
    Msg second = longApplicationChange(L"C:\\Apps\\writer.exe", L"stream-1");
    addMachineName(first, L"PC", L"DOM");
    addMachineName(second, L"PC", L"DOM");
    client->sendSecure(first);
    client->sendSecure(second);

    f.now = sent + 20;
    for (Msg* again : {&first, &second}) {
        again->setAttributeValue(L"EventTimeDelta", 20);
        auto reply = client->sendSecure(*again);
        ASSERT_NE(nullptr, reply);
        EXPECT_EQ(Msg::UPDATE, reply->getType());
    }
    client->sendSecure(longApplicationChange(L"C:\\Apps\\writer.exe", L"stream-2"));
    client->sendSecure(longApplicationChange(L"C:\\Apps\\writer.exe", L"stream-3"));

    auto rows = rowsOf(aliceId);
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ(L"stream-0", rows[0].context1);
    EXPECT_EQ(L"stream-1", rows[1].context1);
    EXPECT_EQ(sent, rows[1].eventTime);
    EXPECT_EQ(L"stream-2", rows[2].context1);
    EXPECT_EQ(L"stream-3", rows[3].context1);
}

TEST_F(TcServerTest, TheSameContentAgainWithinOneSecondIsOneMessage)
{
    // Arrival order inside a second proves nothing, so A, B, A in one second
    // is A and B; beyond the window A is new again.
    auto client = f.loggedOn(L"alice", L"s3cret Pass");
    client->sendSecure(stateChange(L"SystemStateIdle"));
    client->sendSecure(stateChange(L"SystemStateLocked"));
    client->sendSecure(stateChange(L"SystemStateIdle"));
    EXPECT_EQ(2u, rowsOf(aliceId).size());
    f.now += 3;
    client->sendSecure(stateChange(L"SystemStateIdle"));
    EXPECT_EQ(3u, rowsOf(aliceId).size());
}

TEST_F(TcServerTest, AnotherUsersIdenticalMessageIsStored)
{
    const int bobId = f.addUser(L"bob", L"b0b");
    auto alice = f.loggedOn(L"alice", L"s3cret Pass");
    auto bob = f.loggedOn(L"bob", L"b0b");
    alice->sendSecure(stateChange(L"SystemStateIdle"));
    bob->sendSecure(stateChange(L"SystemStateIdle"));
    EXPECT_EQ(1u, rowsOf(aliceId).size());
    EXPECT_EQ(1u, rowsOf(bobId).size());
}

TEST_F(TcServerTest, EnvelopesThatDoNotVerifyGiveVerifyDecryptFailed)
{
    auto client = f.loggedOn(L"alice", L"s3cret Pass");

    Msg plain = stateChange(L"SystemStateIdle");
    plain.setAttributeValue(L"UserID", aliceId);
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(plain, client->sessionKey()));
    ByteArray* signature = nullptr;
    ASSERT_TRUE(envelope->getAttributeValue(L"Signature", signature));
    signature->getData()[3] ^= 1;
    auto reply = submitRaw(*envelope);
    EXPECT_EQ(Msg::ERROR_MSG, reply->getType());
    EXPECT_EQ(L"VerifyDecryptFailed", stringOf(*reply, L"ErrorType"));
    EXPECT_EQ(TcServer::VerifyDecryptFailed, intOf(*reply, L"ErrorID"));

    // A plain status message, and an envelope under another key.
    EXPECT_EQ(L"VerifyDecryptFailed", stringOf(*submitRaw(plain), L"ErrorType"));
    std::unique_ptr<Msg> foreign(SecurityDevice::signAndEncryptMsg(plain, bytesOf("0123456789abcdef")));
    EXPECT_EQ(L"VerifyDecryptFailed", stringOf(*submitRaw(*foreign), L"ErrorType"));
    // An envelope naming a user without a session.
    const int bobId = f.addUser(L"bob", L"b0b");
    plain.setAttributeValue(L"UserID", bobId);
    std::unique_ptr<Msg> bobs(SecurityDevice::signAndEncryptMsg(plain, client->sessionKey()));
    EXPECT_EQ(L"VerifyDecryptFailed", stringOf(*submitRaw(*bobs), L"ErrorType"));
    EXPECT_TRUE(rowsOf(aliceId).empty());
    EXPECT_TRUE(rowsOf(bobId).empty());
}

TEST_F(TcServerTest, ALaterLogonReplacesTheSessionKey)
{
    auto first = f.loggedOn(L"alice", L"s3cret Pass");
    auto second = f.loggedOn(L"alice", L"s3cret Pass");
    EXPECT_NE(first->sessionKey(), second->sessionKey());
    EXPECT_EQ(L"VerifyDecryptFailed", stringOf(*first->sendSecure(stateChange(L"SystemStateIdle")), L"ErrorType"));
    EXPECT_EQ(Msg::ACKNOWLEDGEMENT, second->sendSecure(stateChange(L"SystemStateIdle"))->getType());
}

TEST_F(TcServerTest, BodyThatIsNoMessageGetsAnErrorReply)
{
    const ByteArray reply = f.server().submit(bytesOf("hello there"), "Tavelin Client/1.0");
    Msg parsed;
    parsed.fromByteArray(reply);
    EXPECT_EQ(Msg::ERROR_MSG, parsed.getType());
    EXPECT_EQ(L"InvalidMessage", stringOf(parsed, L"ErrorType"));
}

TEST_F(TcServerTest, WrongKeyFaultSignsRepliesSoTheyDoNotVerify)
{
    auto client = f.loggedOn(L"alice", L"s3cret Pass");
    ASSERT_TRUE(f.faults().apply("wrongkey"));
    Msg msg = longApplicationChange(L"C:\\Apps\\writer.exe", L"report.doc");
    msg.setAttributeValue(L"UserID", aliceId);
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(msg, client->sessionKey()));
    auto reply = submitRaw(*envelope);
    ASSERT_EQ(Msg::UPDATE, reply->getType());
    try {
        std::unique_ptr<Msg>(SecurityDevice::verifyAndDecryptMsg(*reply, client->sessionKey()));
        ADD_FAILURE() << "a reply signed with the wrong key verified";
    } catch (const CommsException& e) {
        EXPECT_EQ(1062904, e.getExceptionID());
    }
    // The data itself is under the session key; only the signature is wrong.
    ByteArray* data = nullptr;
    ASSERT_TRUE(reply->getAttributeValue(L"EncryptedData", data));
    std::unique_ptr<ByteArray> right(SecurityDevice::signByteArray(*data, client->sessionKey()));
    reply->setAttributeValue(L"Signature", right.release());
    std::unique_ptr<Msg> opened(SecurityDevice::verifyAndDecryptMsg(*reply, client->sessionKey()));
    EXPECT_GE(intOf(*opened, L"ApplicationID"), ServerDatabase::FirstApplicationId);
}

TEST_F(TcServerTest, HelloNamesTheServerTheClientReachedAndTheConfiguredTexts)
{
    EXPECT_EQ("server=http://127.0.0.1:8123/", f.server().hello("127.0.0.1:8123"));

    ServerConfig config;
    config.submitServers = {"http://a.example:81/", "http://b.example"};
    config.clientVersion = "2.7.1";
    config.clientVersionUrl = "http://updates.example/client";
    config.motd = "Welcome";
    config.reportsUrl = "http://reports.example/";
    ServerFixture configured(config);
    EXPECT_EQ("server=http://a.example:81/;server=http://b.example;version=2.7.1;"
              "version_url=http://updates.example/client;motd=Welcome;reports=http://reports.example/",
              configured.server().hello("ignored:1"));
}

class ClientVersionTest : public ::testing::Test {
protected:
    static ServerConfig minimum(const std::string& version)
    {
        ServerConfig config;
        config.minimumClientVersion = version;
        return config;
    }
};

TEST_F(ClientVersionTest, ClientBelowTheMinimumIsToldItIsTooOld)
{
    ServerFixture f(minimum("1.1"));
    f.addUser(L"alice", L"pw");
    auto old = f.client("Tavelin Client/1.0");
    EXPECT_FALSE(old->logOn(L"alice", L"pw"));
    ASSERT_NE(nullptr, old->lastReply());
    EXPECT_EQ(Msg::ERROR_MSG, old->lastReply()->getType());
    EXPECT_EQ(L"ClientAppTooOld", stringOf(*old->lastReply(), L"ErrorType"));
    EXPECT_EQ(TcServer::ClientAppTooOld, intOf(*old->lastReply(), L"ErrorID"));

    EXPECT_TRUE(f.client("Tavelin Client/1.10")->logOn(L"alice", L"pw"));
    EXPECT_FALSE(f.client("")->logOn(L"alice", L"pw"));
}

TEST_F(ClientVersionTest, ClientAtTheMinimumIsAccepted)
{
    ServerFixture f(minimum("1.0"));
    f.addUser(L"alice", L"pw");
    EXPECT_TRUE(f.client("Tavelin Client/1.0")->logOn(L"alice", L"pw"));
}

TEST_F(ClientVersionTest, VersionAttributeOfTheMessageOutranksTheUserAgent)
{
    ServerFixture f(minimum("2.0"));
    Msg request;
    request.setType(Msg::CHALLENGE_REQUEST);
    request.setAttributeValue(L"TavelUsername", std::wstring(L"alice"));
    request.setAttributeValue(L"ClientVersion", std::wstring(L"2.0.1"));
    ByteArray bytes;
    request.toByteArray(bytes);
    Msg reply;
    reply.fromByteArray(f.server().submit(bytes, "Tavelin Client/1.0"));
    EXPECT_EQ(Msg::CHALLENGE_RESPONSE, reply.getType());
}

TEST(ServerTextTest, VersionsCompareAsNumbers)
{
    EXPECT_LT(ServerText::compareVersions("1.9", "1.10"), 0);
    EXPECT_EQ(0, ServerText::compareVersions("1.0", "1"));
    EXPECT_GT(ServerText::compareVersions("2.7.1", "2.7"), 0);
    EXPECT_LT(ServerText::compareVersions("", "0.1"), 0);
}

TEST(ServerTextTest, DatesAreCheckedAndReadAsUtcMidnight)
{
    int64_t t = 0;
    ASSERT_TRUE(ServerText::parseDate("2026-12-08", t));
    EXPECT_EQ(1796688000, t);
    EXPECT_EQ("2026-12-08", ServerText::date(t + 86399));
    EXPECT_EQ("23:59:59", ServerText::clock(t + 86399));
    EXPECT_FALSE(ServerText::parseDate("2026-02-30", t));
    EXPECT_FALSE(ServerText::parseDate("2026-1-08", t));
    EXPECT_FALSE(ServerText::parseDate("2026-12-08x", t));
    EXPECT_FALSE(ServerText::parseDate(" 2026-12-8", t));
    EXPECT_FALSE(ServerText::parseDate("2026/12/08", t));
}

TEST(ServerTextTest, NamesLowerCaseBeyondAscii)
{
    EXPECT_EQ(L"\u00e5sa lind", ServerText::lower(L"\u00c5sa LIND"));
}

} // namespace
