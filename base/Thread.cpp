#include "base/Thread.h"

#include <chrono>
#include <thread>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
constexpr unsigned long Thread::Infinite;
constexpr unsigned long Thread::ExitNormal;
constexpr unsigned long Thread::ExitStopped;
constexpr unsigned long Thread::ExitKilled;

Thread::Thread() = default;

Thread::~Thread()
{
    terminate(Infinite);
}

bool Thread::startThread(void* argument)
{
    m_argument = argument;
    // The new thread may run before start returns: it waits here until the
    // handle is stored, or its first sleep would find no stop event to wait
    // on and sleep through a stop request.
    std::lock_guard<std::mutex> starting(m_starting);
    return m_handle.start(&Thread::threadMain, this);
}

unsigned long Thread::threadMain(void* self)
{
    Thread* thread = static_cast<Thread*>(self);
    {
        std::lock_guard<std::mutex> started(thread->m_starting);
    }
    try {
        thread->run();
        return ExitNormal;
    } catch (const StopRequest&) {
        // Stopped on request: the stack has unwound, the state stays as it
        // was until terminate marks the thread Finished.
        return ExitStopped;
    }
}

int Thread::run()
{
    bool setUp = false;
    int result = 0;
    try {
        setUp = setup();
        if (setUp) {
            m_state = Running;
            result = execute(m_argument);
        }
    } catch (const Exception& e) {
        Event event(1051001, &e, L"An unexpected exception occured in Thread::run()",
                    TC_AT(L"Thread::run"));
        Logger::Trace(event);
        m_state = Finished;
        cleanUp();
        return 0;
    }
    if (!setUp) {
        Event event(1051002, L"Setup failed in Thread::run()", TC_AT(L"Thread::run"));
        Logger::Trace(event);
        m_state = Finished;
        cleanUp();
        return -1;
    }
    m_state = Finished;
    cleanUp();
    return result;
}

void Thread::requestTermination()
{
    if (m_state != Running)
        return;
    m_stopRequested = true;
    m_handle.signalStop();
}

void Thread::terminate(unsigned long timeoutMs)
{
    if (!m_handle.isStarted())
        return;
    // A thread still in setup is not yet Running, so requestTermination
    // would ignore it and it would only be killed after the grace time;
    // the request is therefore raised whatever the state.
    if (m_state != Finished) {
        m_stopRequested = true;
        m_handle.signalStop();
    }
    // A Finished thread may still be in cleanUp: it is waited for as well,
    // so that the object is never destroyed under a running thread.
    if (!m_handle.join(timeoutMs))
        m_handle.kill(ExitKilled);
    m_state = Finished;
}

bool Thread::getExitCode(unsigned long& code) const
{
    return m_handle.exitCode(code);
}

void Thread::sleep(unsigned long ms)
{
    if (m_handle.isStarted())
        m_handle.waitForStop(ms);
    else if (!m_stopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    terminateIfRequested();
}

void Thread::terminateIfRequested()
{
    if (m_stopRequested)
        throw StopRequest();
}
