#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Exception.h"
#include "base/Mutex.h"
#include "base/Thread.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

using testsupport::CapturedEvent;
using testsupport::eventually;
using testsupport::EventRecorder;
using testsupport::Journal;

namespace {

// A gate the test opens for a waiting worker.
class Gate {
public:
    void open() { m_promise.set_value(); }
    void pass() { m_future.wait(); }

private:
    std::promise<void> m_promise;
    std::shared_future<void> m_future{m_promise.get_future().share()};
};

// Sets a flag when destroyed: shows that a frame's destructors ran.
struct Sentinel {
    std::atomic<bool>& destroyed;
    ~Sentinel() { destroyed = true; }
};

class ScriptedThread : public Thread {
public:
    enum Body {
        ReturnAtOnce,
        SleepUntilStopped,
        IgnoreStop,
        ThrowException,
        HoldLockWhileSleeping
    };

    explicit ScriptedThread(Body body) : m_body(body) {}
    ~ScriptedThread() override { terminate(Infinite); }

    bool setup() override
    {
        journal.add("setup");
        if (setupGate != nullptr) {
            setupEntered = true;
            setupGate->pass();
        }
        return setupResult;
    }

    int execute(void* argument) override
    {
        journal.add("execute");
        receivedArgument = argument;
        switch (m_body) {
        case ReturnAtOnce:
            return 42;
        case SleepUntilStopped: {
            Sentinel sentinel{frameDestroyed};
            executing = true;
            for (;;)
                sleep(60000);
        }
        case IgnoreStop:
            executing = true;
            for (;;)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        case ThrowException:
            throw Exception(4711, L"worker failed", TC_AT(L"ScriptedThread::execute"));
        case HoldLockWhileSleeping: {
            AutoMutex guard(*lock);
            Sentinel sentinel{frameDestroyed};
            executing = true;
            for (;;)
                sleep(60000);
        }
        }
        return 0;
    }

    void cleanUp() override
    {
        journal.add("cleanUp");
        if (cleanUpGate != nullptr) {
            cleanUpEntered = true;
            cleanUpGate->pass();
        }
        journal.add("cleanUp done");
    }

    using Thread::isStopRequested;
    using Thread::run;

    Journal journal;
    bool setupResult = true;
    void* receivedArgument = nullptr;
    std::atomic<bool> executing{false};
    std::atomic<bool> frameDestroyed{false};
    Gate* setupGate = nullptr;
    std::atomic<bool> setupEntered{false};
    Gate* cleanUpGate = nullptr;
    std::atomic<bool> cleanUpEntered{false};
    Mutex* lock = nullptr;

private:
    Body m_body;
};

class ThreadTest : public ::testing::Test {
protected:
    EventRecorder m_trace{testsupport::uniqueName(L"ThreadTest")};
};

TEST_F(ThreadTest, RunsSetupExecuteAndCleanUpInOrderWithTheArgument)
{
    ScriptedThread t(ScriptedThread::ReturnAtOnce);
    int argument = 0;
    unsigned long code = 0xDEADBEEF;
    EXPECT_FALSE(t.getExitCode(code));
    EXPECT_EQ(code, 0xDEADBEEFul);

    ASSERT_TRUE(t.startThread(&argument));
    t.terminate(Thread::Infinite);

    EXPECT_EQ(t.journal.entries(),
              (std::vector<std::string>{"setup", "execute", "cleanUp", "cleanUp done"}));
    EXPECT_EQ(t.receivedArgument, &argument);
    EXPECT_EQ(t.getThreadState(), Thread::Finished);
    ASSERT_TRUE(t.getExitCode(code));
    EXPECT_EQ(code, Thread::ExitNormal);
    EXPECT_EQ(t.run(), 42) << "run hands back what execute returned";
}

TEST_F(ThreadTest, FailedSetupTracesAndCleansUpWithoutExecuting)
{
    ScriptedThread t(ScriptedThread::ReturnAtOnce);
    t.setupResult = false;
    EXPECT_EQ(t.run(), -1);
    EXPECT_EQ(t.journal.entries(), (std::vector<std::string>{"setup", "cleanUp", "cleanUp done"}));
    EXPECT_EQ(t.getThreadState(), Thread::Finished);

    CapturedEvent e{};
    ASSERT_TRUE(m_trace.waitFor(1051002, e));
    EXPECT_EQ(e.description, L"Setup failed in Thread::run()");
}

TEST_F(ThreadTest, ExceptionFromExecuteIsTracedAndTheThreadEndsCleanly)
{
    ScriptedThread t(ScriptedThread::ThrowException);
    ASSERT_TRUE(t.startThread(nullptr));
    t.terminate(Thread::Infinite);

    CapturedEvent e{};
    ASSERT_TRUE(m_trace.waitFor(1051001, e));
    EXPECT_EQ(e.description, L"An unexpected exception occured in Thread::run()");
    EXPECT_EQ(e.exceptionId, 4711);
    EXPECT_TRUE(t.journal.contains("cleanUp done"));
    unsigned long code = 0xDEADBEEF;
    ASSERT_TRUE(t.getExitCode(code));
    EXPECT_EQ(code, Thread::ExitNormal);
    EXPECT_EQ(t.run(), 0);
}

TEST_F(ThreadTest, StopRequestsAndTerminateDoNothingBeforeStart)
{
    ScriptedThread t(ScriptedThread::ReturnAtOnce);
    t.requestTermination();
    EXPECT_FALSE(t.isStopRequested());
    t.terminate(0);
    EXPECT_EQ(t.getThreadState(), Thread::NotStarted);
    EXPECT_TRUE(t.journal.entries().empty());
}

TEST_F(ThreadTest, StopRequestCutsTheSleepShortAndUnwindsWithoutCleanUp)
{
    ScriptedThread t(ScriptedThread::SleepUntilStopped);
    ASSERT_TRUE(t.startThread(nullptr));
    ASSERT_TRUE(eventually([&] { return t.executing.load(); }));
    EXPECT_EQ(t.getThreadState(), Thread::Running);

    t.requestTermination();
    unsigned long code = 0xDEADBEEF;
    ASSERT_TRUE(eventually([&] { return t.getExitCode(code); }))
        << "the 60 s sleep was not cut short";
    EXPECT_EQ(code, Thread::ExitStopped);
    EXPECT_TRUE(t.frameDestroyed) << "the stop did not unwind the worker's frames";
    EXPECT_EQ(t.getThreadState(), Thread::Running)
        << "a stopped thread keeps its state until terminate";
    EXPECT_FALSE(t.journal.contains("cleanUp"));

    t.terminate(Thread::Infinite);
    EXPECT_EQ(t.getThreadState(), Thread::Finished);
    ASSERT_TRUE(t.getExitCode(code));
    EXPECT_EQ(code, Thread::ExitStopped) << "a responsive thread must not be killed";
}

TEST_F(ThreadTest, StoppingReleasesALockTheWorkerHeld)
{
    Mutex lock;
    lock.initialise(testsupport::uniqueName(L"OndrivexTests.ThreadLock"));
    ScriptedThread t(ScriptedThread::HoldLockWhileSleeping);
    t.lock = &lock;
    ASSERT_TRUE(t.startThread(nullptr));
    ASSERT_TRUE(eventually([&] { return t.executing.load(); }));

    t.terminate(Thread::Infinite);

    // Ended where it stood, the worker would have left the lock abandoned.
    lock.lock();
    lock.release();
    EXPECT_EQ(m_trace.count(1050702), 0u) << "the lock was abandoned, not released";
    EXPECT_TRUE(t.frameDestroyed);
}

TEST_F(ThreadTest, AThreadThatIgnoresTheRequestIsKilledAfterTheGrace)
{
    ScriptedThread t(ScriptedThread::IgnoreStop);
    ASSERT_TRUE(t.startThread(nullptr));
    ASSERT_TRUE(eventually([&] { return t.executing.load(); }));

    t.terminate(50);
    EXPECT_EQ(t.getThreadState(), Thread::Finished);
    unsigned long code = 0;
    ASSERT_TRUE(t.getExitCode(code));
    EXPECT_EQ(code, Thread::ExitKilled);
    EXPECT_FALSE(t.journal.contains("cleanUp"));
}

TEST_F(ThreadTest, TerminateDuringSetupStopsTheThreadInsteadOfKillingIt)
{
    Gate gate;
    ScriptedThread t(ScriptedThread::SleepUntilStopped);
    t.setupGate = &gate;
    ASSERT_TRUE(t.startThread(nullptr));
    ASSERT_TRUE(eventually([&] { return t.setupEntered.load(); }));
    EXPECT_EQ(t.getThreadState(), Thread::NotStarted);

    std::thread stopper([&] { t.terminate(Thread::Infinite); });
    ASSERT_TRUE(eventually([&] { return t.isStopRequested(); }))
        << "terminate ignored a thread that was still setting up";
    gate.open();
    stopper.join();

    unsigned long code = 0;
    ASSERT_TRUE(t.getExitCode(code));
    EXPECT_EQ(code, Thread::ExitStopped);
    EXPECT_EQ(t.getThreadState(), Thread::Finished);
}

TEST_F(ThreadTest, TerminateWaitsForAFinishedThreadStillInCleanUp)
{
    Gate gate;
    ScriptedThread t(ScriptedThread::ReturnAtOnce);
    t.cleanUpGate = &gate;
    ASSERT_TRUE(t.startThread(nullptr));
    ASSERT_TRUE(eventually([&] { return t.cleanUpEntered.load(); }));
    EXPECT_EQ(t.getThreadState(), Thread::Finished);

    std::atomic<bool> cleanUpDoneWhenTerminateReturned{false};
    std::thread stopper([&] {
        t.terminate(Thread::Infinite);
        cleanUpDoneWhenTerminateReturned = t.journal.contains("cleanUp done");
    });
    // Give a terminate that does not wait the chance to return early.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    gate.open();
    stopper.join();
    EXPECT_TRUE(cleanUpDoneWhenTerminateReturned) << "terminate returned while cleanUp still ran";
}

} // namespace
