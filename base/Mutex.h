#pragma once
#include <memory>
#include <string>

// The system's lock: re-entrant for the owning thread and, when named,
// shared between processes (also across the client and the add-ins).
class Mutex {
public:
    Mutex();
    virtual ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // Creates, or opens when one of that name exists, a mutex that is not
    // initially owned; an empty name gives an unnamed one. Throws
    // SystemException 1050701 on failure.
    void initialise(const std::wstring& name = std::wstring());
    // Waits without limit. An abandoned mutex is traced (1050702) and taken
    // over; a failed wait throws SystemException 1050703.
    void lock();
    // Throws SystemException 1050704 on failure.
    void release();
    // The native handle (HANDLE on Windows), null before initialise.
    void* getHandle() const;
    bool isInitialised() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// Holds a Mutex locked for the lifetime of the scope.
class AutoMutex {
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
