// The ping service: its timer and what it sends.
#include <gtest/gtest.h>

#include "LogonFixture.h"

using namespace logontest;

namespace {

TEST_F(LogonTest, PingTimerStartsWithTheFirstSuccessAndSendsTheCurrentStatus)
{
    int built = 0;
    m_ping = new PingProbe(m_system, [&built](System&) -> Msg* {
        ++built;
        Msg* msg = new Msg();
        msg->setType(Msg::SYSTEM_STATE_CHANGE);
        return msg;
    });
    m_framework->addService(m_ping);
    EXPECT_TRUE(m_ping->setup());
    EXPECT_FALSE(m_ping->timer().isArmed());
    Msg failure = deviceEvent(HttpCommDevice::ConnectFailure);
    m_ping->processMsg(failure);
    EXPECT_FALSE(m_ping->timer().isArmed());
    Msg success = deviceEvent(HttpCommDevice::Success);
    m_ping->processMsg(success);
    EXPECT_TRUE(m_ping->timer().isArmed());
    EXPECT_EQ(m_ping->timer().getDelay(), 270000u);
    EXPECT_EQ(m_ping->timer().getType(), Timer::Repeating);
    m_ping->onTimer();
    EXPECT_EQ(built, 1);
    std::unique_ptr<Msg> sent(m_http->takeSent());
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->getType(), Msg::SYSTEM_STATE_CHANGE);
}

TEST_F(LogonTest, PingWithoutAStatusIsTraced)
{
    m_ping = new PingProbe(m_system, [](System&) -> Msg* { return nullptr; });
    m_framework->addService(m_ping);
    m_ping->onTimer();
    EXPECT_EQ(m_trace.count(1063101), 1u);
    EXPECT_EQ(m_http->getOutQSize(), 0u);
}

} // namespace
