#include "client/GUIStatusUpdateService.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/Msg.h"
#include "shared/monitoring/System.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/ScriptedDesktop.h"

namespace {

class RecordingStatusService : public GUIStatusUpdateService {
public:
    using GUIStatusUpdateService::GUIStatusUpdateService;
    std::vector<int> codes;
    bool alive = true;

protected:
    void notifyWindow(native::Window, int code) override { codes.push_back(code); }
    bool windowAlive(native::Window) override { return alive; }
};

Msg message(Msg::MsgType type)
{
    Msg msg;
    msg.setType(type);
    return msg;
}

TEST(GUIStatusUpdateCodeTest, AcceptsTheThreeUpdatesOnly)
{
    EXPECT_EQ(0, GUIStatusUpdateService::updateCode(Msg::SYSTEM_CHANGE_SERVICE));
    EXPECT_EQ(1, GUIStatusUpdateService::updateCode(Msg::CONNECTION_STATUS_CHANGE));
    EXPECT_EQ(2, GUIStatusUpdateService::updateCode(Msg::CLIENT_PROFILE_CHANGE));
    for (int type = 0; type <= 20; ++type) {
        if (type != 13 && type != 15 && type != 20) {
            EXPECT_EQ(-1, GUIStatusUpdateService::updateCode(type)) << type;
        }
    }
}

class GUIStatusUpdateServiceTest : public ::testing::Test {
protected:
    ScriptedDesktop desktop;
    ManualClock clock;
    System system{desktop, clock};
    RecordingStatusService service{system};
};

TEST_F(GUIStatusUpdateServiceTest, CanProcessMatchesTheCodes)
{
    Msg change = message(Msg::SYSTEM_CHANGE_SERVICE);
    Msg other = message(Msg::APPLICATION_CHANGE);
    EXPECT_TRUE(service.canProcessMsg(change));
    EXPECT_FALSE(service.canProcessMsg(other));
    EXPECT_TRUE(service.setup());
}

TEST_F(GUIStatusUpdateServiceTest, NothingIsSentBeforeAWindowIsSet)
{
    Msg change = message(Msg::CONNECTION_STATUS_CHANGE);
    EXPECT_TRUE(service.processMsg(change));
    EXPECT_TRUE(service.codes.empty());
}

TEST_F(GUIStatusUpdateServiceTest, EachUpdateReachesTheWindowWithItsCode)
{
    service.setStatusWindow(reinterpret_cast<native::Window>(0x1234));
    Msg a = message(Msg::SYSTEM_CHANGE_SERVICE);
    Msg b = message(Msg::CONNECTION_STATUS_CHANGE);
    Msg c = message(Msg::CLIENT_PROFILE_CHANGE);
    EXPECT_TRUE(service.processMsg(a));
    EXPECT_TRUE(service.processMsg(b));
    EXPECT_TRUE(service.processMsg(c));
    EXPECT_EQ((std::vector<int>{0, 1, 2}), service.codes);
    EXPECT_EQ(&system, &service.getSystem());
    // A window that has gone gets nothing more.
    service.alive = false;
    EXPECT_TRUE(service.processMsg(a));
    EXPECT_EQ(3u, service.codes.size());
}

} // namespace
