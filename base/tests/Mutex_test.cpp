#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "base/Exception.h"
#include "base/Mutex.h"
#include "base/Tools.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using testsupport::EventRecorder;

// Exit codes of the probe process.
const int ProbeTaken = 0;
const int ProbeTimedOut = 1;
const int ProbeTakenAbandoned = 2;

int probe(const std::wstring& mode, const std::wstring& name)
{
    std::vector<std::wstring> arguments{mode, name};
    if (mode == L"try")
        arguments.push_back(L"200");
    return testsupport::runProgram(testsupport::helperProgram(L"base_mutex_probe"), arguments);
}

// Whether another thread can take the mutex within a short time; it lets
// go again at once when it can.
bool otherThreadTakes(Mutex& mutex)
{
    bool taken = false;
    std::thread([&] {
        taken = mutex.tryLock(50);
        if (taken)
            mutex.release();
    }).join();
    return taken;
}

int exceptionId(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.getExceptionID();
    }
    return 0;
}

std::wstring uniqueMutexName(const std::wstring& stem)
{
    return Tools::createLocalObjectName(testsupport::uniqueName(L"Tests." + stem + L"."));
}

TEST(MutexTest, LockingBeforeInitialiseThrows1050703)
{
    Mutex mutex;
    EXPECT_FALSE(mutex.isInitialised());
    EXPECT_EQ(mutex.getHandle(), nullptr);
    EXPECT_EQ(exceptionId([&] { mutex.lock(); }), 1050703);
}

TEST(MutexTest, OwnerReentersAndOthersWaitUntilTheLastRelease)
{
    for (const std::wstring& name : {std::wstring(), uniqueMutexName(L"reenter")}) {
        Mutex mutex;
        mutex.initialise(name);
        EXPECT_TRUE(mutex.isInitialised());
        EXPECT_NE(mutex.getHandle(), nullptr);
        mutex.lock();
        EXPECT_TRUE(mutex.tryLock(0));
        EXPECT_FALSE(otherThreadTakes(mutex));
        mutex.release();
        EXPECT_FALSE(otherThreadTakes(mutex)) << "still held once";
        mutex.release();
        EXPECT_TRUE(otherThreadTakes(mutex));
    }
}

TEST(MutexTest, ReleasingWithoutOwningThrows1050704)
{
    Mutex mutex;
    mutex.initialise();
    EXPECT_EQ(exceptionId([&] { mutex.release(); }), 1050704);
    mutex.lock();
    int fromOtherThread = 0;
    std::thread([&] { fromOtherThread = exceptionId([&] { mutex.release(); }); }).join();
    EXPECT_EQ(fromOtherThread, 1050704);
    mutex.release();
    EXPECT_EQ(exceptionId([&] { mutex.release(); }), 1050704);
}

// The system's own error for releasing a mutex the thread does not own.
#if defined(_WIN32)
const unsigned long NotOwnerError = 288; // ERROR_NOT_OWNER
#else
const unsigned long NotOwnerError = 1; // EPERM
#endif

TEST(MutexTest, ReleaseFailureCarriesTheSystemsErrorText)
{
    Mutex mutex;
    mutex.initialise(L"");
    std::wstring description;
    try {
        mutex.release();
    } catch (const SystemException& e) {
        EXPECT_EQ(e.getExceptionID(), 1050704);
        description = e.getDescription();
    }
    const std::wstring text = Tools::lookupErrorDescription(NotOwnerError);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(description,
              L"Error Releasing Mutex : " + text + L" (" + std::to_wstring(NotOwnerError) + L")");
}

TEST(MutexTest, MutexesOfOneNameAreOneLock)
{
    const std::wstring name = uniqueMutexName(L"shared");
    Mutex first, second, other;
    first.initialise(name);
    second.initialise(name);
    other.initialise(uniqueMutexName(L"other"));
    first.lock();
    // The owner re-enters through either object; other threads are kept out of both.
    EXPECT_TRUE(second.tryLock(0));
    second.release();
    EXPECT_FALSE(otherThreadTakes(second));
    EXPECT_TRUE(otherThreadTakes(other));
    first.release();
    EXPECT_TRUE(otherThreadTakes(second));
}

TEST(MutexTest, AutoMutexHoldsTheLockForItsScope)
{
    Mutex mutex;
    mutex.initialise();
    {
        AutoMutex hold(mutex);
        EXPECT_FALSE(otherThreadTakes(mutex));
    }
    EXPECT_TRUE(otherThreadTakes(mutex));
}

TEST(MutexTest, NamedMutexExcludesASecondProcess)
{
    const std::wstring name = uniqueMutexName(L"process");
    Mutex mutex;
    mutex.initialise(name);
    EXPECT_EQ(probe(L"try", name), ProbeTaken);
    mutex.lock();
    mutex.lock();
    EXPECT_EQ(probe(L"try", name), ProbeTimedOut);
    mutex.release();
    EXPECT_EQ(probe(L"try", name), ProbeTimedOut) << "still held once";
    mutex.release();
    EXPECT_EQ(probe(L"try", name), ProbeTaken);
}

TEST(MutexTest, MutexLeftHeldByAnEndedProcessIsReportedAndTakenOver)
{
    EventRecorder recorder;
    const std::wstring name = uniqueMutexName(L"abandoned");
    Mutex mutex;
    mutex.initialise(name);
    ASSERT_EQ(probe(L"hold-exit", name), 0);
    mutex.lock();
    ASSERT_EQ(recorder.count(1050702), 1u);
    const testsupport::CapturedEvent event = recorder.find(1050702);
    EXPECT_EQ(event.description, L"Mutex Wait Abandoned");
    EXPECT_NE(event.details.find(L" Name:" + name), std::wstring::npos) << event.details;
    EXPECT_EQ(probe(L"try", name), ProbeTimedOut) << "taken over by this process";
    mutex.release();
    // Released properly this time: the next owner finds nothing amiss.
    EXPECT_EQ(probe(L"try", name), ProbeTaken);
    mutex.lock();
    mutex.release();
    EXPECT_EQ(recorder.count(1050702), 1u);
}

TEST(MutexTest, MutexLeftHeldByAnEndedThreadIsReportedAndTakenOver)
{
    EventRecorder recorder;
    for (const std::wstring& name : {std::wstring(), uniqueMutexName(L"thread")}) {
        recorder.clear();
        Mutex mutex;
        mutex.initialise(name);
        std::thread([&] { mutex.lock(); }).join();
        mutex.lock();
        EXPECT_EQ(recorder.count(1050702), 1u) << (name.empty() ? "unnamed" : "named");
        EXPECT_FALSE(otherThreadTakes(mutex));
        mutex.release();
        EXPECT_TRUE(otherThreadTakes(mutex));
    }
}

TEST(MutexTest, ProbeSeesAMutexAbandonedByThisProcessesThread)
{
    const std::wstring name = uniqueMutexName(L"handover");
    Mutex mutex;
    mutex.initialise(name);
    std::thread([&] { mutex.lock(); }).join();
    EXPECT_EQ(probe(L"try", name), ProbeTakenAbandoned);
}

} // namespace
