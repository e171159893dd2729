#pragma once
#include <memory>

#include "base/TCBaseApi.h"

// The operating system's side of a Thread: the thread itself, its stop event
// (manual reset) and its exit code. Move-only; destroying it releases the
// handles but neither waits for nor stops the thread (Thread does that).
class TCBASE_API ThreadHandle {
public:
    using Entry = unsigned long (*)(void* context);

    ThreadHandle();
    ~ThreadHandle();
    ThreadHandle(ThreadHandle&& other) noexcept;
    ThreadHandle& operator=(ThreadHandle&& other) noexcept;
    ThreadHandle(const ThreadHandle&) = delete;
    ThreadHandle& operator=(const ThreadHandle&) = delete;

    // Creates the stop event, unsignalled, then a thread running
    // entry(context), whose result becomes the exit code. False, with
    // nothing created, when either cannot be made. Replaces (without
    // stopping) any thread held before.
    bool start(Entry entry, void* context);
    bool isStarted() const;

    void signalStop();
    // Waits up to ms (Thread::Infinite: without limit) for the stop event.
    // True when it is signalled.
    bool waitForStop(unsigned long ms);
    // Waits up to ms (Thread::Infinite: without limit) for the thread to end.
    // True when it has ended; false while it runs or when none was started.
    bool join(unsigned long ms);
    // Ends the thread where it stands with the given exit code and waits
    // until it is gone.
    void kill(unsigned long exitCode);
    // The exit code of an ended thread; false (code untouched) otherwise.
    bool exitCode(unsigned long& code) const;

    // The platform's thread, stop event and exit code (ThreadHandlePlatform.h).
    struct Impl;
    struct ImplDeleter {
        void operator()(Impl* impl) const;
    };

private:
    std::unique_ptr<Impl, ImplDeleter> m_impl;
};
