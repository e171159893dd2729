#include "base/ThreadHandle.h"

#include <process.h>

#include <memory>

#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

struct ThreadHandle::Impl {
    ScopedKernelHandle thread;
    ScopedKernelHandle stopEvent; // manual reset
    Entry entry;
    void* context;

    Impl(Entry function, void* argument) : entry(function), context(argument) {}

    static unsigned __stdcall main(void* self)
    {
        Impl* impl = static_cast<Impl*>(self);
        return static_cast<unsigned>(impl->entry(impl->context));
    }
};

ThreadHandle::Impl* ThreadHandle::startImpl(Entry entry, void* context)
{
    auto impl = std::make_unique<ThreadHandle::Impl>(entry, context);
    impl->stopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!impl->stopEvent)
        return nullptr;
    // _beginthreadex rather than CreateThread, so the C runtime's per-thread
    // state is set up for the new thread.
    const uintptr_t h =
        _beginthreadex(nullptr, 0, &ThreadHandle::Impl::main, impl.get(), 0, nullptr);
    if (h == 0)
        return nullptr;
    impl->thread.reset(reinterpret_cast<HANDLE>(h));
    return impl.release();
}

void ThreadHandle::ImplDeleter::operator()(Impl* impl) const
{
    delete impl; // closes the handles; the thread itself is not touched
}

void ThreadHandle::signalStopOf(Impl& impl)
{
    SetEvent(impl.stopEvent.get());
}

bool ThreadHandle::waitForStopOf(Impl& impl, unsigned long ms)
{
    return WaitForSingleObject(impl.stopEvent.get(), ms) == WAIT_OBJECT_0;
}

bool ThreadHandle::joinOf(Impl& impl, unsigned long ms)
{
    return WaitForSingleObject(impl.thread.get(), ms) == WAIT_OBJECT_0;
}

void ThreadHandle::killOf(Impl& impl, unsigned long exitCode)
{
    TerminateThread(impl.thread.get(), exitCode);
    WaitForSingleObject(impl.thread.get(), INFINITE);
}

bool ThreadHandle::exitCodeOf(const Impl& impl, unsigned long& code)
{
    DWORD value = 0;
    if (!GetExitCodeThread(impl.thread.get(), &value) || value == STILL_ACTIVE)
        return false;
    // A thread may end with an exit code equal to STILL_ACTIVE; ours never do.
    code = value;
    return true;
}
