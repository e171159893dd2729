#pragma once
// A library loaded at run time, freed when the owner goes, with its exports
// looked up by name and type.
#include "base/win32/ScopedHandle.h"

class ScopedLibrary : public ScopedModule {
public:
    ScopedLibrary() = default;
    explicit ScopedLibrary(const wchar_t* path) : ScopedModule(LoadLibraryW(path)) {}
    ScopedLibrary(const wchar_t* path, DWORD flags)
        : ScopedModule(LoadLibraryExW(path, nullptr, flags))
    {}

    // The export name as a function of type F; null when the library is not
    // loaded or has no such export (the system error says which).
    template <typename F>
    F function(const char* name) const
    {
        if (!valid())
            return nullptr;
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(get(), name)));
    }
};
