#include "base/Mutex.h"

#include "base/Event.h"
#include "base/Exception.h"
#include "base/EventSink.h"
#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

struct Mutex::Impl {
    ScopedKernelHandle handle;
    std::wstring name;
};

Mutex::Mutex() : m_impl(new Impl) {}

Mutex::~Mutex() = default;

void Mutex::initialise(const std::wstring& name)
{
    HANDLE h = CreateMutexW(nullptr, FALSE, name.empty() ? nullptr : name.c_str());
    if (h == nullptr) {
        SystemException e(1050701, L"Error Initialising Mutex", TC_AT(L"Mutex::initialise"));
        e.addSystemErrorInfo();
        throw e;
    }
    m_impl->handle.reset(h);
    m_impl->name = name;
}

bool Mutex::wait(unsigned long timeoutMs, bool limited)
{
    const DWORD rc = WaitForSingleObject(m_impl->handle.get(),
                                         limited ? static_cast<DWORD>(timeoutMs) : INFINITE);
    if (rc == WAIT_OBJECT_0)
        return true;
    if (rc == WAIT_ABANDONED) {
        // The previous owner ended while holding it; what it guarded may be
        // half-done, but waiting longer would not help.
        Event e(1050702, L"Mutex Wait Abandoned", TC_AT(L"Mutex::lock"));
        if (!m_impl->name.empty())
            e.addDetails(L"Name", m_impl->name);
        EventSink::trace(e);
        return true;
    }
    if (rc == WAIT_TIMEOUT && limited)
        return false;
    if (rc != WAIT_FAILED)
        SetLastError(ERROR_INVALID_HANDLE);
    SystemException e(1050703, L"Mutex Wait failed", TC_AT(L"Mutex::lock"));
    e.addSystemErrorInfo();
    throw e;
}

void Mutex::release()
{
    if (!ReleaseMutex(m_impl->handle.get())) {
        SystemException e(1050704, L"Error Releasing Mutex", TC_AT(L"Mutex::release"));
        e.addSystemErrorInfo();
        throw e;
    }
}

native::Handle Mutex::getHandle() const
{
    return m_impl->handle.get();
}

bool Mutex::isInitialised() const
{
    return m_impl->handle.valid();
}
