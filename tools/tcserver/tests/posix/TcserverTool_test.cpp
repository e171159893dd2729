#include <gtest/gtest.h>

#include <sstream>

#include "ServerTestSupport.h"
#include "shared/server/SecurityDevice.h"
#include "tools/tcserver/posix/ServerText.h"
#include "tools/tcserver/posix/TcserverTool.h"

using namespace servertest;

namespace {

class TcserverToolTest : public ::testing::Test {
protected:
    testsupport::TempFolder folder{L"tcserver-tool"};
    std::string db = ServerText::utf8(folder.file(L"tool.db"));
    std::string out, err;

    int run(std::vector<std::string> args, const std::string& input = std::string())
    {
        args.insert(args.begin(), {"--db", db});
        std::istringstream in(input);
        std::ostringstream o, e;
        const int code = TcserverTool::run(args, in, o, e);
        out = o.str();
        err = e.str();
        return code;
    }
};

TEST_F(TcserverToolTest, UserAddStoresThePasswordHashOfTheLineOnStandardInput)
{
    ASSERT_EQ(0, run({"user", "add", "Alice"}, "open sesame\r\n"));
    EXPECT_EQ("1\n", out);
    ServerDatabase database(db);
    auto user = database.findUser(L"alice");
    ASSERT_TRUE(user.has_value());
    const ByteArray hash = SecurityDevice::computePasswordHash(L"open sesame");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(hash.getData()), 28), user->passwordHash);
    EXPECT_FALSE(user->suspended);
}

TEST_F(TcserverToolTest, UserCommandsRefuseWhatCannotBeDone)
{
    ASSERT_EQ(0, run({"user", "add", "alice"}, "pw\n"));
    EXPECT_EQ(2, run({"user", "add", "ALICE"}, "pw\n"));
    EXPECT_NE(std::string::npos, err.find("exists"));
    EXPECT_EQ(1, run({"user", "add", "bob"}, ""));
    EXPECT_NE(std::string::npos, err.find("no password"));
    EXPECT_EQ(2, run({"user", "suspend", "carol"}));
    EXPECT_EQ(1, run({"user", "frobnicate", "alice"}));
    EXPECT_EQ(1, run({}));
    EXPECT_NE(std::string::npos, err.find("usage"));
}

TEST_F(TcserverToolTest, SuspendResumeAndList)
{
    ASSERT_EQ(0, run({"user", "add", "alice"}, "pw\n"));
    ASSERT_EQ(0, run({"user", "add", "bob"}, "pw\n"));
    ASSERT_EQ(0, run({"user", "suspend", "Bob"}));
    ASSERT_EQ(0, run({"user", "list"}));
    EXPECT_EQ("1\talice\n2\tbob\tsuspended\n", out);
    ASSERT_EQ(0, run({"user", "resume", "bob"}));
    ASSERT_EQ(0, run({"user", "list"}));
    EXPECT_EQ("1\talice\n2\tbob\n", out);
}

TEST_F(TcserverToolTest, PasswordChangeEndsTheSession)
{
    ASSERT_EQ(0, run({"user", "add", "alice"}, "old\n"));
    {
        ServerDatabase database(db);
        database.setSessionKey(1, bytesOf("0123456789abcdef"));
    }
    ASSERT_EQ(0, run({"user", "password", "alice"}, "new\n"));
    ServerDatabase database(db);
    auto user = database.findUser(L"alice");
    EXPECT_EQ(0, user->sessionKey.getSize());
    const ByteArray hash = SecurityDevice::computePasswordHash(L"new");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(hash.getData()), 28), user->passwordHash);
}

TEST_F(TcserverToolTest, DayPrintsTheTimelineOfOneUserAndDay)
{
    int64_t midnight = 0;
    ASSERT_TRUE(ServerText::parseDate("2026-12-08", midnight));
    {
        ServerDatabase database(db);
        const int alice = database.addUser(L"alice", "h");
        const int bob = database.addUser(L"bob", "h");
        ApplicationFields writerFields;
        writerFields.originalFilename = L"WRITER.EXE";
        writerFields.fileDescription = L"Writer";
        const int writer = database.applicationId(L"C:\\Apps\\writer.exe", writerFields, ByteArray());
        auto add = [&](int user, int64_t t, int type, const wchar_t* state, std::optional<int> app,
                       std::wstring c1, std::wstring c2) {
            ActivityRow row;
            row.userId = user;
            row.eventTime = row.arrivalTime = t;
            row.msgType = type;
            if (state)
                row.systemState = std::wstring(state);
            row.applicationId = app;
            row.context1 = c1;
            row.context2 = c2;
            row.contentKey = bytesOf(std::to_string(t) + std::to_string(user));
            ASSERT_TRUE(database.storeActivity(row, 2));
        };
        add(alice, midnight - 60, Msg::APPLICATION_CHANGE, nullptr, writer, L"yesterday.doc", L"");
        add(alice, midnight + 9 * 3600, Msg::APPLICATION_CHANGE, nullptr, writer, L"report.doc", L"page 2");
        add(alice, midnight + 9 * 3600 + 750, Msg::SYSTEM_STATE_CHANGE, L"SystemStateLocked", {}, L"", L"");
        add(bob, midnight + 9 * 3600 + 800, Msg::SYSTEM_STATE_CHANGE, L"SystemStateIdle", {}, L"", L"");
        add(alice, midnight + 9 * 3600 + 2400, Msg::APPLICATION_CHANGE, nullptr, ServerDatabase::MeetingApplicationId,
            L"Budget review", L"");
        add(alice, midnight + 86400 + 60, Msg::SYSTEM_STATE_CHANGE, L"SystemStateIdle", {}, L"", L"");
    }
    ASSERT_EQ(0, run({"day", "Alice", "2026-12-08"})) << err;
    EXPECT_EQ("day 2026-12-08 of alice (UTC)\n"
              "from\tto\tapplication\tdocument\tstate\n"
              "09:00:00\t09:12:30\tWriter\treport.doc | page 2\tActive\n"
              "09:12:30\t09:40:00\t-\t-\tLocked\n"
              "09:40:00\t2026-12-09 00:01:00\tMeeting\tBudget review\tMeeting\n",
              out);
    EXPECT_EQ(2, run({"day", "alice", "2026-13-01"}));
    EXPECT_EQ(2, run({"day", "nobody"}));
}

} // namespace
