// The system change service: what each presence event does to the System
// and what it announces, and what else it takes and gives out.
#include <gtest/gtest.h>

#include "SystemChangeFixture.h"

using namespace systemchangetest;

namespace {

TEST_F(SystemChangeServiceTest, TakesSystemEventsAndContextReportsOnly)
{
    start();
    for (int type = 0; type <= 20; ++type) {
        Msg msg;
        msg.setType(static_cast<Msg::MsgType>(type));
        EXPECT_EQ(type == Msg::SYSTEM_EVENT || type == Msg::PLUGIN_INFO,
                  m_service->canProcessMsg(msg))
            << "type " << type;
    }
}

struct StateCase {
    int eventId;
    int announced;
    const wchar_t* trace;
};

TEST_F(SystemChangeServiceTest, EachPresenceEventUpdatesTheStatusAndIsAnnouncedOnce)
{
    start();
    const StateCase cases[] = {
        {4, 2, L"onUserIdle"},       {5, 3, L"onUserActive"},       {12, 10, L"onPCLock"},
        {13, 11, L"onPCUnlock"},     {6, 4, L"onUserAtMeeting"},    {9, 7, L"onUserStopMeeting"},
        {8, 6, L"onUserPrivacy"},    {11, 9, L"onUserStopPrivacy"}, {7, 5, L"onUserOnPhone"},
        {10, 8, L"onUserStopPhone"}, {1, 0, L"onWindowChange"},     {2, 0, L"onWindowChange"},
        {3, 0, L"onWindowChange"},
    };
    for (const StateCase& c : cases) {
        m_recorder->received.clear();
        m_events.clear();
        event(c.eventId, L"why", 60);
        EXPECT_EQ(Events{c.announced}, announced()) << "EventID " << c.eventId;
        ASSERT_EQ(1u, m_events.count(1061501)) << "EventID " << c.eventId;
        EXPECT_EQ(L" Name:" + std::wstring(c.trace), lastTrace().substr(0, 6 + wcslen(c.trace)))
            << "EventID " << c.eventId;
        switch (c.eventId) {
        case 4:
            EXPECT_TRUE(status().idle());
            break;
        case 5:
            EXPECT_FALSE(status().idle());
            break;
        case 12:
            EXPECT_TRUE(status().locked());
            break;
        case 13:
            EXPECT_FALSE(status().locked());
            break;
        case 6:
            EXPECT_TRUE(status().atMeeting());
            EXPECT_EQ(L"why", status().reason());
            break;
        case 9:
            EXPECT_FALSE(status().atMeeting());
            EXPECT_EQ(L"", status().reason());
            break;
        case 8:
            EXPECT_TRUE(status().isPrivate());
            break;
        case 11:
            EXPECT_FALSE(status().isPrivate());
            break;
        case 7:
            EXPECT_TRUE(status().onPhone());
            EXPECT_EQ(L"why", status().reason());
            break;
        case 10:
            EXPECT_FALSE(status().onPhone());
            EXPECT_EQ(L"", status().reason());
            break;
        default:
            break;
        }
    }
}

TEST_F(SystemChangeServiceTest, UnknownEventIdsAnnounceNothing)
{
    start();
    for (int id : {0, 14, 99, -1}) {
        event(id);
        EXPECT_TRUE(m_recorder->received.empty()) << "EventID " << id;
    }
    EXPECT_EQ(0u, m_events.count(1061501));
    Msg* bare = new Msg();
    bare->setType(Msg::SYSTEM_EVENT);
    m_framework.internal().pushMessage(bare);
    m_framework.drain();
    EXPECT_TRUE(m_recorder->received.empty()) << "no EventID reads as 0";
}

TEST_F(SystemChangeServiceTest, AMeetingStoresItsDurationAndStartsNowByTheClock)
{
    start();
    m_clock.set(1712000000);
    event(6, L"Budget review", 1800);
    EXPECT_EQ(1800, status().duration());
    EXPECT_EQ(1712000000, status().start());
    EXPECT_TRUE(status().atMeeting());
    EXPECT_EQ(L"Budget review", status().reason());
}

TEST_F(SystemChangeServiceTest, PrivateTimeStoresItsDurationAndAMissingDurationReadsZero)
{
    start();
    m_clock.set(1712000500);
    event(8, nullptr, 300);
    EXPECT_TRUE(status().isPrivate());
    EXPECT_EQ(300, status().duration());
    EXPECT_EQ(1712000500, status().start());
    m_clock.set(1712009999);
    event(6, L"Stand-up");
    EXPECT_EQ(0, status().duration());
    EXPECT_EQ(1712009999, status().start());
}

TEST_F(SystemChangeServiceTest, APhoneCallWithoutReasonHasAnEmptyReasonAndKeepsTheDuration)
{
    start();
    event(6, L"Budget review", 900);
    event(7);
    EXPECT_TRUE(status().onPhone());
    EXPECT_EQ(L"", status().reason());
    EXPECT_EQ(900, status().duration()) << "a phone call has no duration of its own";
}

TEST_F(SystemChangeServiceTest, GivesOutTheSystemItOwns)
{
    start();
    System& system = m_service->getSystemInfo();
    EXPECT_EQ(&m_desktop, &system.getDesktop());
    EXPECT_EQ(&m_clock, &system.getClock());
    EXPECT_NE(nullptr, system.findWindow(m_window));
}

TEST(SystemChangeEventNameTest, NamesFollowTheEventValues)
{
    const wchar_t* names[] = {
        L"onWindowChange",       L"onContextInfoChange", L"onUserIdle",    L"onUserActive",
        L"onUserAtMeeting",      L"onUserOnPhone",       L"onUserPrivacy", L"onUserStopMeeting",
        L"onUserStopPhone",      L"onUserStopPrivacy",   L"onPCLock",      L"onPCUnlock",
        L"onDelayedSystemChange"};
    for (int i = 0; i < 13; ++i)
        EXPECT_STREQ(names[i], SystemChangeService::getEventName(i));
    EXPECT_EQ(nullptr, SystemChangeService::getEventName(13));
    EXPECT_EQ(nullptr, SystemChangeService::getEventName(-1));
}

} // namespace
