#include "base/ThreadHandle.h"

#include <process.h>

#include "base/ScopedHandle_win32.h"
#include "base/WindowsSupport.h"

struct ThreadHandle::Impl {
    ScopedKernelHandle thread;
    ScopedKernelHandle stopEvent; // manual reset
    Entry entry = nullptr;
    void* context = nullptr;

    static unsigned __stdcall main(void* self)
    {
        Impl* impl = static_cast<Impl*>(self);
        return static_cast<unsigned>(impl->entry(impl->context));
    }
};

ThreadHandle::ThreadHandle() = default;
ThreadHandle::~ThreadHandle() = default;
ThreadHandle::ThreadHandle(ThreadHandle&& other) noexcept = default;
ThreadHandle& ThreadHandle::operator=(ThreadHandle&& other) noexcept = default;

bool ThreadHandle::start(Entry entry, void* context)
{
    auto impl = std::make_unique<Impl>();
    impl->entry = entry;
    impl->context = context;
    impl->stopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!impl->stopEvent)
        return false;
    // _beginthreadex rather than CreateThread, so the C runtime's per-thread
    // state is set up for the new thread.
    const uintptr_t h = _beginthreadex(nullptr, 0, &Impl::main, impl.get(), 0, nullptr);
    if (h == 0)
        return false;
    impl->thread.reset(reinterpret_cast<HANDLE>(h));
    m_impl = std::move(impl);
    return true;
}

bool ThreadHandle::isStarted() const
{
    return m_impl != nullptr;
}

void ThreadHandle::signalStop()
{
    if (m_impl)
        SetEvent(m_impl->stopEvent.get());
}

bool ThreadHandle::waitForStop(unsigned long ms)
{
    if (!m_impl)
        return false;
    return WaitForSingleObject(m_impl->stopEvent.get(), ms) == WAIT_OBJECT_0;
}

bool ThreadHandle::join(unsigned long ms)
{
    if (!m_impl)
        return false;
    return WaitForSingleObject(m_impl->thread.get(), ms) == WAIT_OBJECT_0;
}

void ThreadHandle::kill(unsigned long exitCode)
{
    if (!m_impl)
        return;
    TerminateThread(m_impl->thread.get(), exitCode);
    WaitForSingleObject(m_impl->thread.get(), INFINITE);
}

bool ThreadHandle::exitCode(unsigned long& code) const
{
    if (!m_impl)
        return false;
    DWORD value = 0;
    if (!GetExitCodeThread(m_impl->thread.get(), &value) || value == STILL_ACTIVE)
        return false;
    // A thread may end with an exit code equal to STILL_ACTIVE; ours never do.
    code = value;
    return true;
}
