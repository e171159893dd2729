#pragma once
#include <atomic>
#include <mutex>

#include "base/TCBaseApi.h"
#include "base/ThreadHandle.h"

// A worker thread. A derived class says what the thread does in setup,
// execute and cleanUp; run calls them in that order on the new thread.
//
// Stopping: requestTermination raises a flag and signals the stop event.
// The thread notices it in sleep, nap or terminateIfRequested, which end the
// thread by unwinding its stack back to the thread's entry (exit code 1): the
// destructors of every frame run, so no lock or heap block stays held, and
// neither the rest of execute nor cleanUp runs. Code on a device thread must
// therefore not swallow everything with catch (...) without rethrowing.
// Only a thread that does not reach one of those calls within the grace time
// given to terminate is killed outright (exit code 0xFFFFFFFF).
//
// sleep, nap and terminateIfRequested act on the calling thread and may only
// be called on the object's own thread.
class TCBASE_API Thread {
public:
    enum ThreadState { NotStarted = 0, Running = 1, Finished = 2 };

    // For terminate: wait without limit.
    static constexpr unsigned long Infinite = 0xFFFFFFFFul;
    // The exit codes of a thread that ran to its end, was stopped by a
    // request, or was killed after the grace time.
    static constexpr unsigned long ExitNormal = 0;
    static constexpr unsigned long ExitStopped = 1;
    static constexpr unsigned long ExitKilled = 0xFFFFFFFFul;

    Thread();
    // Stops the thread without time limit. A derived class whose execute uses
    // its own members must stop the thread in its own destructor, before
    // those members go.
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Set up the thread's resources; false ends the thread before execute.
    virtual bool setup() = 0;
    virtual int execute(void* argument) = 0;
    // Runs after execute, after a failed setup and after a caught Exception.
    virtual void cleanUp() = 0;

    // Stores the argument, creates the stop event (unsignalled) and a new
    // thread that runs run. True when the thread was created. Call it once
    // per object: it does not check for a thread already running.
    bool startThread(void* argument);
    // Only while Running: raises the stop flag and signals the stop event.
    void requestTermination();
    // When a thread was started: asks it to stop, waits up to timeoutMs for
    // it to end and kills it when it has not; the state is then Finished.
    // Does nothing for a thread never started.
    void terminate(unsigned long timeoutMs);
    ThreadState getThreadState() const { return static_cast<ThreadState>(m_state.load()); }

    // The thread's exit code once it has ended:
    // ExitNormal, ExitStopped or ExitKilled. False while it runs or when no
    // thread was started; code is then untouched.
    bool getExitCode(unsigned long& code) const;

protected:
    // The body of the new thread (see the class comment). Returns -1 after a
    // failed setup, 0 after a caught Exception, otherwise execute's result.
    int run();

    // Waits up to ms on the stop event, then terminateIfRequested: a stop
    // request cuts the wait short and ends the thread.
    void sleep(unsigned long ms);
    void nap() { sleep(10); }
    // Ends the calling thread (see the class comment) when a stop was requested.
    void terminateIfRequested();
    bool isStopRequested() const { return m_stopRequested.load(); }

private:
    // What sleep and terminateIfRequested throw to unwind to the thread's
    // entry. Deliberately not an Exception, so devices that catch their own
    // errors let it pass.
    struct StopRequest {};

    // The entry of the new thread: runs run and turns its ending into the
    // exit code.
    static unsigned long threadMain(void* self);

    ThreadHandle m_handle; // thread handle and stop event
    // Held by startThread until m_handle holds the new thread; the thread
    // takes it before anything else, since sleep and terminate read m_handle.
    std::mutex m_starting;
    std::atomic<int> m_state{NotStarted};
    void* m_argument = nullptr;
    std::atomic<bool> m_stopRequested{false};
};
