// The declared states: the messages the status window's calls send, and the
// end of a meeting or personal time when its time is up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PresenceFixture.h"
#include "shared/monitoring/UserStateChangeService.h"

namespace {

using Ids = std::vector<int>;

class UserStateChangeServiceTest : public montest::PresenceTest {
protected:
    UserStateChangeService* m_states = start(new UserStateChangeService(system()));

    const Msg& lastSent() const { return m_sent->received.back(); }
    static std::wstring text(const Msg& msg, const wchar_t* name)
    {
        std::wstring value = L"<missing>";
        msg.getAttributeValue(name, value);
        return value;
    }
    static int number(const Msg& msg, const wchar_t* name)
    {
        int value = -12345;
        msg.getAttributeValue(name, value);
        return value;
    }
};

TEST_F(UserStateChangeServiceTest, TakesNoMessages)
{
    Msg msg;
    msg.setType(Msg::SYSTEM_EVENT);
    EXPECT_FALSE(m_states->canProcessMsg(msg));
    EXPECT_TRUE(m_states->processMsg(msg));
}

TEST_F(UserStateChangeServiceTest, EachCallSendsItsEventWithItsAttributes)
{
    m_states->onPhoneCall(L"Supplier");
    m_framework.drain();
    EXPECT_EQ(L"Supplier", text(lastSent(), L"ContextString1"));
    EXPECT_EQ(2, lastSent().getIntAttributeCount()) << "MsgType and EventID";
    m_states->onPhoneCall(nullptr);
    m_framework.drain();
    EXPECT_EQ(L"<missing>", text(lastSent(), L"ContextString1"));
    m_states->stopPhoneCall();
    m_states->atMeeting(L"Budget review", 1800);
    m_framework.drain();
    EXPECT_EQ(L"Budget review", text(lastSent(), L"ContextString1"));
    EXPECT_EQ(1800, number(lastSent(), L"Duration"));
    m_states->stopMeeting();
    m_states->enablePrivacy(300);
    m_framework.drain();
    EXPECT_EQ(300, number(lastSent(), L"Duration"));
    EXPECT_EQ(0, lastSent().getStringAttributeCount());
    m_states->stopPrivacy();
    m_framework.drain();
    EXPECT_EQ((Ids{7, 7, 10, 6, 9, 8, 11}), sent());
    EXPECT_EQ((Ids{5, 5, 8, 4, 7, 6, 9}), announced());
}

TEST_F(UserStateChangeServiceTest, AMeetingWithoutReasonIsSentWithAnEmptyOne)
{
    m_states->atMeeting(nullptr, 600);
    m_framework.drain();
    ASSERT_EQ(Ids{6}, sent());
    EXPECT_EQ(L"", text(lastSent(), L"ContextString1"));
    EXPECT_TRUE(status().atMeeting());
}

TEST_F(UserStateChangeServiceTest, AMeetingOfSixtySecondsEndsAtTheFirstTenSecondTickAfterIt)
{
    run(3000);
    m_states->atMeeting(L"Stand-up", 60);
    m_framework.drain();
    EXPECT_EQ(1700000003, status().start());
    run(59900);
    EXPECT_EQ(Ids{6}, sent()) << "the ticks at 10 ... 50 s found the meeting running";
    run(100);
    EXPECT_EQ((Ids{6, 9}), sent()) << "the tick at 60 s is at its end";
    EXPECT_FALSE(status().atMeeting());
    run(60000);
    EXPECT_EQ((Ids{6, 9}), sent()) << "the timer stopped";
}

TEST_F(UserStateChangeServiceTest, AMeetingEndingBetweenTicksEndsAtTheNextTick)
{
    m_states->atMeeting(L"Review", 65);
    m_framework.drain();
    run(69900);
    EXPECT_EQ(Ids{6}, sent());
    run(100);
    EXPECT_EQ((Ids{6, 9}), sent());
}

TEST_F(UserStateChangeServiceTest, PersonalTimeEndsByItself)
{
    m_states->enablePrivacy(300);
    m_framework.drain();
    run(299900);
    EXPECT_TRUE(status().isPrivate());
    run(100);
    EXPECT_EQ((Ids{8, 11}), sent());
    EXPECT_FALSE(status().isPrivate());
}

TEST_F(UserStateChangeServiceTest, WithMeetingAndPersonalTimeTheEndStopsTheMeetingOnly)
{
    m_states->enablePrivacy(120);
    m_framework.drain();
    run(10000);
    m_states->atMeeting(L"Lunch talk", 60); // the status's one duration is now the meeting's
    m_framework.drain();
    run(60000);
    EXPECT_EQ((Ids{8, 6, 9}), sent());
    EXPECT_FALSE(status().atMeeting());
    EXPECT_TRUE(status().isPrivate());
    run(3600000);
    EXPECT_EQ((Ids{8, 6, 9}), sent()) << "the timer was killed: personal time runs until stopped";
    m_states->stopPrivacy();
    m_framework.drain();
    EXPECT_EQ((Ids{8, 6, 9, 11}), sent());
}

TEST_F(UserStateChangeServiceTest, StoppingAMeetingByHandStopsTheChecks)
{
    m_states->atMeeting(L"Call", 30);
    m_framework.drain();
    run(10000);
    m_states->stopMeeting();
    m_framework.drain();
    run(120000);
    EXPECT_EQ((Ids{6, 9}), sent());
}

TEST_F(UserStateChangeServiceTest, APhoneCallNeverEndsByItself)
{
    m_states->onPhoneCall(L"Helpdesk");
    m_framework.drain();
    // Four hours in steps of a second: 14,400 pulses rather than 144,000,
    // which took minutes under the emulator on a busy machine.
    run(4 * 3600 * 1000, 1000);
    EXPECT_EQ(Ids{7}, sent());
    EXPECT_TRUE(status().onPhone());
}

} // namespace
