#pragma once
#include <memory>
#include <string>

#include "base/NativeHandle.h"

#include "base/TCBaseApi.h"

// The system's lock: re-entrant for the owning thread and, when named,
// shared between processes (also across the client and the add-ins).
//
// Natively a named mutex is a lock file in a per-user folder
// ($XDG_RUNTIME_DIR/ondrivex, else /tmp/ondrivex-<uid>); the owner's process
// id is kept in the file while it is held, so that the next owner can tell
// that a previous one ended without releasing it.
class TCBASE_API Mutex {
public:
    Mutex();
    // Closes the handle. Like a Win32 handle, closing it does not end an
    // ownership that the thread still holds.
    virtual ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // Creates, or opens when one of that name exists, a mutex that is not
    // initially owned; an empty name gives an unnamed one. A second call
    // replaces the first handle. Throws SystemException 1050701 on failure.
    void initialise(const std::wstring& name = std::wstring());
    // Waits without limit. An abandoned mutex is traced (1050702) and taken
    // over; a failed wait (also: no initialise) throws SystemException 1050703.
    void lock();
    // As lock, but gives up after timeoutMs milliseconds: true when the
    // calling thread now owns the mutex, false when the time ran out.
    bool tryLock(unsigned long timeoutMs);
    // Releases one level of ownership. Throws SystemException 1050704 on
    // failure (also when the calling thread does not own it).
    void release();
    // The native handle (HANDLE on Windows), null before initialise.
    native::Handle getHandle() const;
    bool isInitialised() const;

    struct Impl;

private:
    bool wait(unsigned long timeoutMs, bool limited);

    std::unique_ptr<Impl> m_impl;
};

// Holds a Mutex locked for the lifetime of the scope.
class TCBASE_API AutoMutex {
public:
    explicit AutoMutex(Mutex& mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~AutoMutex()
    {
        try {
            m_mutex.release();
        } catch (...) {
        }
    }
    AutoMutex(const AutoMutex&) = delete;
    AutoMutex& operator=(const AutoMutex&) = delete;

private:
    Mutex& m_mutex;
};
