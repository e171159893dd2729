#pragma once
#include "base/win32/ScopedHandle.h"

#include "shared/TCShrdApi.h"

// A named kernel object whose existence tells other processes that an
// instance of a program runs: the first create of a name succeeds, later
// ones (in any process) fail while the first object lives.
class TCSHRD_API SystemSingleton {
public:
    SystemSingleton();
    // Closes the object; the name is free again once no process holds it.
    virtual ~SystemSingleton();
    SystemSingleton(const SystemSingleton&) = delete;
    SystemSingleton& operator=(const SystemSingleton&) = delete;

    // Creates the object of that name. False when access is denied (logged,
    // 1061601) or the object existed already (logged, 1061602; the handle to
    // it is kept all the same and closed with this object), or when it cannot
    // be created at all. An object created before is closed first.
    bool create(const wchar_t* name);

    // Whether an object of that name exists and may be opened for writing.
    static bool doesObjectExist(const wchar_t* name);

    // The native handle (HANDLE on Windows), null until create.
    HANDLE getHandle() const { return m_handle.get(); }

private:
    void close();

    ScopedKernelHandle m_handle;
};
