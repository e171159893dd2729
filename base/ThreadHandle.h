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

private:
    // Operating-system half, in win32/ThreadHandle.cpp and
    // posix/ThreadHandle.cpp. The portable part answers for a handle without
    // a thread; these see only started threads.

    // The platform's thread, stop event and exit code.
    struct Impl;
    // Frees what startImpl gave; a thread still running runs on by itself.
    struct ImplDeleter {
        void operator()(Impl* impl) const;
    };
    // Creates the stop event, unsignalled, then the thread running
    // entry(context). Null, with nothing created, when either cannot be made.
    static Impl* startImpl(Entry entry, void* context);
    static void signalStopOf(Impl& thread);
    static bool waitForStopOf(Impl& thread, unsigned long ms);
    static bool joinOf(Impl& thread, unsigned long ms);
    static void killOf(Impl& thread, unsigned long exitCode);
    static bool exitCodeOf(const Impl& thread, unsigned long& code);

    std::unique_ptr<Impl, ImplDeleter> m_impl;
};
