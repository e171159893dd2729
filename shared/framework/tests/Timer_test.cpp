#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "FrameworkFakes.h"
#include "shared/framework/SimpleTimer.h"
#include "shared/framework/Timer.h"
#include "base/Exception.h"
#include "base/Mutex.h"
#include "testsupport/EventCapture.h"

using namespace frameworktest;

namespace {

// Lets the test deliver ticks itself, as the tick source would.
struct TickSource : Timer {
    static void tick(uint32_t id) { timerFunc(nullptr, 0x0113, id, 0); }
    static bool listed(uint32_t id)
    {
        AutoMutex guard(*s_mutexTimersList);
        return s_lstTimers.count(id) > 0;
    }
};

class TimerTest : public ::testing::Test {
protected:
    FakeService* service(const std::string& name)
    {
        auto* s = new FakeService(name, m_journal);
        m_framework->addService(s);
        return s;
    }

    // Pulses until ready() holds; the limit only guards against a hang.
    bool pulseUntil(const std::function<bool()>& ready)
    {
        return testsupport::eventually([&] {
            m_framework->pulse();
            return ready();
        });
    }

    // Pulses for a while, long against the delays used here.
    void pulseFor(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            m_framework->pulse();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::shared_ptr<Journal> m_journal = std::make_shared<Journal>();
    std::unique_ptr<TestFramework> m_framework{new TestFramework};
};

TEST_F(TimerTest, AOneShotTimerFiresOnceAndStaysQuietUntilSetAgain)
{
    FakeService* s = service("s");
    s->setTimer(20, Timer::OneShot);
    EXPECT_TRUE(s->timer().isArmed());
    ASSERT_TRUE(pulseUntil([&] { return s->timerCalls == 1; }));
    EXPECT_FALSE(s->timer().isArmed()) << "a one-shot timer stays armed after its tick";
    pulseFor(200);
    EXPECT_EQ(s->timerCalls, 1);

    s->setTimer(20, Timer::OneShot);
    ASSERT_TRUE(pulseUntil([&] { return s->timerCalls == 2; }));
}

TEST_F(TimerTest, ARepeatingTimerFiresAgainAndAgainUntilKilled)
{
    FakeService* s = service("s");
    s->setTimer(10, Timer::Repeating);
    ASSERT_TRUE(pulseUntil([&] { return s->timerCalls >= 3; }));
    EXPECT_TRUE(s->timer().isArmed());

    s->killTimer();
    EXPECT_FALSE(s->timer().isArmed());
    EXPECT_FALSE(s->hasTimerDelayElapsed());
    const int calls = s->timerCalls;
    pulseFor(150);
    EXPECT_EQ(s->timerCalls, calls);
}

TEST_F(TimerTest, SeveralTicksBetweenTwoPulsesGiveOneOnTimer)
{
    FakeService* s = service("s");
    s->setTimer(60000, Timer::Repeating);
    const uint32_t id = s->timer().getTimerID();
    TickSource::tick(id);
    TickSource::tick(id);
    TickSource::tick(id);
    EXPECT_EQ(s->timerCalls, 0) << "onTimer ran inside the tick";
    EXPECT_TRUE(m_framework->pulse());
    EXPECT_EQ(s->timerCalls, 1);
    EXPECT_FALSE(m_framework->pulse());
    EXPECT_EQ(s->timerCalls, 1);

    // The same with real ticks: a fast timer left alone for a while.
    s->setTimer(5, Timer::Repeating);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_framework->pulse();
    EXPECT_EQ(s->timerCalls, 2);
}

TEST_F(TimerTest, TimersFireInServiceOrderAndAPulseReportsThem)
{
    FakeService* a = service("a");
    FakeService* b = service("b");
    a->onTimerAction = [&] { m_journal->add("a"); };
    b->onTimerAction = [&] { m_journal->add("b"); };
    EXPECT_FALSE(m_framework->pulse()) << "no devices, no timers: nothing happened";
    b->setTimer(60000, Timer::Repeating);
    a->setTimer(60000, Timer::Repeating);
    TickSource::tick(b->timer().getTimerID());
    TickSource::tick(a->timer().getTimerID());
    EXPECT_TRUE(m_framework->pulse());
    EXPECT_EQ(m_journal->entries(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(TimerTest, ResetTimerClearsTheFlagButKeepsTheTimerRunning)
{
    FakeService* s = service("s");
    s->setTimer(60000, Timer::Repeating);
    TickSource::tick(s->timer().getTimerID());
    EXPECT_TRUE(s->hasTimerDelayElapsed());
    s->resetTimer();
    EXPECT_FALSE(s->hasTimerDelayElapsed());
    EXPECT_TRUE(s->timer().isArmed());
    EXPECT_FALSE(m_framework->pulse());
    EXPECT_EQ(s->timerCalls, 0);
}

TEST_F(TimerTest, TicksForUnknownOrDisarmedTimersAreIgnored)
{
    FakeService* s = service("s");
    s->setTimer(60000, Timer::OneShot);
    const uint32_t id = s->timer().getTimerID();
    s->timer().reset();
    EXPECT_EQ(s->timer().getDelay(), 60000u) << "reset forgot the delay";
    EXPECT_EQ(s->timer().getType(), Timer::OneShot);
    TickSource::tick(id);
    TickSource::tick(0xFFFFFFF0u);
    EXPECT_FALSE(s->hasTimerDelayElapsed());

    s->timer().restart();
    EXPECT_TRUE(s->timer().isArmed());
    TickSource::tick(id);
    EXPECT_TRUE(s->hasTimerDelayElapsed());
    EXPECT_FALSE(s->timer().isArmed());
}

TEST_F(TimerTest, EveryTimerHasItsOwnIdAndDyingTimersLeaveTheList)
{
    SimpleTimer a;
    SimpleTimer b;
    EXPECT_NE(a.getTimerID(), b.getTimerID());
    EXPECT_EQ(b.getTimerID(), a.getTimerID() + 1);
    uint32_t id = 0;
    {
        SimpleTimer c;
        c.setTimer(60000, Timer::Repeating);
        id = c.getTimerID();
        EXPECT_TRUE(TickSource::listed(id));
    }
    EXPECT_FALSE(TickSource::listed(id)) << "a destroyed timer is still listed for ticks";
}

TEST_F(TimerTest, AFailingOnTimerDoesNotRunAgainInTheNextPulse)
{
    FakeService* s = service("s");
    s->onTimerAction = [] {
        throw Exception(4711, L"timer work failed", TC_AT(L"FakeService::onTimer"));
    };
    s->setTimer(60000, Timer::Repeating);
    TickSource::tick(s->timer().getTimerID());
    EXPECT_THROW(m_framework->pulse(), Exception);
    EXPECT_FALSE(m_framework->pulse());
    EXPECT_EQ(s->timerCalls, 1);
}

TEST_F(TimerTest, NoTicksAfterTheFrameworkIsGone)
{
    FakeService* s = service("s");
    s->setTimer(5, Timer::Repeating);
    ASSERT_TRUE(pulseUntil([&] { return s->timerCalls >= 1; }));
    SimpleTimer survivor;
    survivor.setTimer(5, Timer::Repeating);
    m_framework.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    survivor.clearElapsed();
    Timer::process();
    EXPECT_FALSE(survivor.isElapsed()) << "a timer ticked without its window";
}

} // namespace
