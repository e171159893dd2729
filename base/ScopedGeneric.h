#pragma once
// The one owner of an operating-system resource: move-only, closing what it
// holds with Traits::free when it is reset or destroyed. Traits gives the
// handle type and the empty value:
//
//   struct Traits {
//       using Handle = ...;
//       static Handle invalid();            // what an empty owner holds
//       static bool isValid(Handle h);      // may accept more than one empty value
//       static void free(Handle h);         // called only for valid handles
//   };
//
// The owner keeps the thread's last system error across its own clean-up, so
// that a failure can be reported after the resources of the failing
// operation have been released.
#include <utility>

#include "base/SystemError.h"

template <class Traits>
class ScopedGeneric {
public:
    using Handle = typename Traits::Handle;

    ScopedGeneric() : m_handle(Traits::invalid()) {}
    explicit ScopedGeneric(Handle h) : m_handle(h) {}
    ~ScopedGeneric() { reset(); }
    ScopedGeneric(ScopedGeneric&& other) noexcept : m_handle(other.release()) {}
    ScopedGeneric& operator=(ScopedGeneric&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ScopedGeneric(const ScopedGeneric&) = delete;
    ScopedGeneric& operator=(const ScopedGeneric&) = delete;

    Handle get() const { return m_handle; }
    bool valid() const { return Traits::isValid(m_handle); }
    explicit operator bool() const { return valid(); }

    // Gives up ownership; the owner is empty afterwards.
    Handle release()
    {
        Handle h = m_handle;
        m_handle = Traits::invalid();
        return h;
    }

    // Frees the current handle (if any) and takes h.
    void reset(Handle h = Traits::invalid())
    {
        const Handle old = m_handle;
        m_handle = h;
        if (Traits::isValid(old) && !(old == h)) {
            SystemError::Keep keep;
            Traits::free(old);
        }
    }

    // For calls that return the handle through an out parameter: empties the
    // owner and hands out the slot.
    Handle* receive()
    {
        reset();
        return &m_handle;
    }

private:
    Handle m_handle;
};
