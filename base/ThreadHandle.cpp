#include "base/ThreadHandle.h"

ThreadHandle::ThreadHandle() = default;
ThreadHandle::~ThreadHandle() = default;
ThreadHandle::ThreadHandle(ThreadHandle&& other) noexcept = default;
ThreadHandle& ThreadHandle::operator=(ThreadHandle&& other) noexcept = default;

bool ThreadHandle::start(Entry entry, void* context)
{
    Impl* started = startImpl(entry, context);
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
        signalStopOf(*m_impl);
}

bool ThreadHandle::waitForStop(unsigned long ms)
{
    return m_impl && waitForStopOf(*m_impl, ms);
}

bool ThreadHandle::join(unsigned long ms)
{
    return m_impl && joinOf(*m_impl, ms);
}

void ThreadHandle::kill(unsigned long exitCode)
{
    if (m_impl)
        killOf(*m_impl, exitCode);
}

bool ThreadHandle::exitCode(unsigned long& code) const
{
    return m_impl && exitCodeOf(*m_impl, code);
}
