#pragma once
// Owners for Win32 handles. One move-only wrapper per handle kind, each
// closing its handle with the matching call and keeping the thread's last
// error intact across that clean-up, so that a failure can still be reported
// after the handles of the failing operation have been released.
#include "base/win32/WindowsSupport.h"

namespace scoped {

template <class Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() : m_handle(Traits::invalid()) {}
    explicit ScopedHandle(Handle h) : m_handle(h) {}
    ~ScopedHandle() { reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : m_handle(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle get() const { return m_handle; }
    bool valid() const { return Traits::isValid(m_handle); }
    explicit operator bool() const { return valid(); }

    // Gives up ownership; the wrapper is empty afterwards.
    Handle release()
    {
        Handle h = m_handle;
        m_handle = Traits::invalid();
        return h;
    }

    // Closes the current handle (if any) and takes h.
    void reset(Handle h = Traits::invalid())
    {
        if (Traits::isValid(m_handle)) {
            const DWORD saved = GetLastError();
            Traits::close(m_handle);
            SetLastError(saved);
        }
        m_handle = h;
    }

    // For APIs that return the handle through an out parameter: empties the
    // wrapper and hands out the slot.
    Handle* receive()
    {
        reset();
        return &m_handle;
    }

private:
    Handle m_handle;
};

// Kernel objects: null and INVALID_HANDLE_VALUE both mean none, since
// CreateFile reports failure with the one and most other calls with the other.
struct KernelTraits {
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) { CloseHandle(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { RegCloseKey(h); }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { FreeLibrary(h); }
};

struct FindTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static bool isValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) { FindClose(h); }
};

struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { LocalFree(h); }
};

} // namespace scoped

using ScopedKernelHandle = scoped::ScopedHandle<scoped::KernelTraits>;
using ScopedRegKey = scoped::ScopedHandle<scoped::RegKeyTraits>;
using ScopedModule = scoped::ScopedHandle<scoped::ModuleTraits>;
using ScopedFindHandle = scoped::ScopedHandle<scoped::FindTraits>;
using ScopedLocalMemory = scoped::ScopedHandle<scoped::LocalMemoryTraits>;
