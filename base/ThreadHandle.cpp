#include "base/ThreadHandle.h"

#include "base/ThreadHandlePlatform.h"

void ThreadHandle::ImplDeleter::operator()(Impl* impl) const
{
    threadplatform::release(impl);
}

ThreadHandle::ThreadHandle() = default;
ThreadHandle::~ThreadHandle() = default;
ThreadHandle::ThreadHandle(ThreadHandle&& other) noexcept = default;
ThreadHandle& ThreadHandle::operator=(ThreadHandle&& other) noexcept = default;

bool ThreadHandle::start(Entry entry, void* context)
{
    Impl* started = threadplatform::start(entry, context);
    if (started == nullptr)
        return false;
    m_impl.reset(started);
    return true;
}

bool ThreadHandle::isStarted() const
{
    return m_impl != nullptr;
}

void ThreadHandle::signalStop()
{
    if (m_impl)
        threadplatform::signalStop(*m_impl);
}

bool ThreadHandle::waitForStop(unsigned long ms)
{
    return m_impl && threadplatform::waitForStop(*m_impl, ms);
}

bool ThreadHandle::join(unsigned long ms)
{
    return m_impl && threadplatform::join(*m_impl, ms);
}

void ThreadHandle::kill(unsigned long exitCode)
{
    if (m_impl)
        threadplatform::kill(*m_impl, exitCode);
}

bool ThreadHandle::exitCode(unsigned long& code) const
{
    return m_impl && threadplatform::exitCode(*m_impl, code);
}
