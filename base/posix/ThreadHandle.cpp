#include "base/ThreadHandle.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>
#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace {

// A cancelled thread leaves its frames without returning through them, so
// the address sanitizer would still see their red zones when the thread's
// own clean-up reuses that stack. Unpoison the whole stack on the way out.
void unpoisonOwnStack(void*)
{
#if defined(__SANITIZE_ADDRESS__)
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* base = nullptr;
        size_t size = 0;
        if (pthread_attr_getstack(&attr, &base, &size) == 0)
            ASAN_UNPOISON_MEMORY_REGION(base, size);
        pthread_attr_destroy(&attr);
    }
#endif
}

} // namespace

// The stop event is a flag under a mutex with a condition variable on the
// monotonic clock. Waits use the C primitives rather than the standard ones
// because kill cancels the thread, and cancellation must be able to unwind
// out of a wait (the standard library's waits are noexcept).
struct ThreadHandle::Impl {
    pthread_t thread{};
    mutable pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t changed;
    bool stopSignalled = false;
    bool ended = false;  // the entry function has returned, or kill ran
    bool joined = false; // pthread_join has reaped the thread
    unsigned long exitCode = 0;
    Entry entry = nullptr;
    void* context = nullptr;

    Impl(Entry function, void* argument) : entry(function), context(argument)
    {
        pthread_condattr_t attr;
        pthread_condattr_init(&attr);
        pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
        pthread_cond_init(&changed, &attr);
        pthread_condattr_destroy(&attr);
    }
    ~Impl()
    {
        pthread_cond_destroy(&changed);
        pthread_mutex_destroy(&mutex);
    }

    static void unlock(void* m) { pthread_mutex_unlock(static_cast<pthread_mutex_t*>(m)); }

    // Waits until ready() holds or ms have passed; true when it holds.
    template <class Ready>
    bool waitFor(unsigned long ms, Ready ready)
    {
        timespec deadline{};
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += static_cast<time_t>(ms / 1000);
        deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
        bool result = false;
        pthread_mutex_lock(&mutex);
        pthread_cleanup_push(&Impl::unlock, &mutex);
        for (;;) {
            if (ready()) {
                result = true;
                break;
            }
            const int rc = ms == 0xFFFFFFFFul ? pthread_cond_wait(&changed, &mutex)
                                              : pthread_cond_timedwait(&changed, &mutex, &deadline);
            if (rc == ETIMEDOUT) {
                result = ready();
                break;
            }
        }
        pthread_cleanup_pop(1);
        return result;
    }

    static void* main(void* self)
    {
        Impl* impl = static_cast<Impl*>(self);
        unsigned long code = 0;
        pthread_cleanup_push(&unpoisonOwnStack, nullptr);
        code = impl->entry(impl->context);
        pthread_cleanup_pop(0);
        pthread_mutex_lock(&impl->mutex);
        impl->exitCode = code;
        impl->ended = true;
        pthread_cond_broadcast(&impl->changed);
        pthread_mutex_unlock(&impl->mutex);
        return nullptr;
    }
};

ThreadHandle::Impl* ThreadHandle::startImpl(Entry entry, void* context)
{
    auto impl = std::make_unique<ThreadHandle::Impl>(entry, context);
    if (pthread_create(&impl->thread, nullptr, &ThreadHandle::Impl::main, impl.get()) != 0)
        return nullptr; // no thread: nothing to detach
    return impl.release();
}

void ThreadHandle::ImplDeleter::operator()(Impl* impl) const
{
    if (!impl->joined)
        pthread_detach(impl->thread);
    delete impl;
}

void ThreadHandle::signalStopOf(Impl& impl)
{
    pthread_mutex_lock(&impl.mutex);
    impl.stopSignalled = true;
    pthread_cond_broadcast(&impl.changed);
    pthread_mutex_unlock(&impl.mutex);
}

bool ThreadHandle::waitForStopOf(Impl& impl, unsigned long ms)
{
    return impl.waitFor(ms, [&impl] { return impl.stopSignalled; });
}

bool ThreadHandle::joinOf(Impl& impl, unsigned long ms)
{
    if (!impl.waitFor(ms, [&impl] { return impl.ended; }))
        return false;
    if (!impl.joined) {
        pthread_join(impl.thread, nullptr);
        impl.joined = true;
    }
    return true;
}

void ThreadHandle::killOf(Impl& impl, unsigned long exitCode)
{
    if (impl.joined)
        return;
    // Cancellation unwinds the thread at its next cancellation point; the
    // waits above and the system's sleeps and blocking calls are such points.
    pthread_cancel(impl.thread);
    pthread_join(impl.thread, nullptr);
    impl.joined = true;
    pthread_mutex_lock(&impl.mutex);
    if (!impl.ended) {
        impl.ended = true;
        impl.exitCode = exitCode;
    }
    pthread_mutex_unlock(&impl.mutex);
}

bool ThreadHandle::exitCodeOf(const Impl& impl, unsigned long& code)
{
    pthread_mutex_lock(&impl.mutex);
    const bool ended = impl.ended;
    if (ended)
        code = impl.exitCode;
    pthread_mutex_unlock(&impl.mutex);
    return ended;
}
