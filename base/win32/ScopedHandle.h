#pragma once
// Owners for Win32 handles, each a ScopedGeneric with the traits of its kind:
// the call that frees it and the values that mean "none".
#include "base/ScopedGeneric.h"
#include "base/win32/WindowsSupport.h"

namespace scoped {

// Kernel objects: null and INVALID_HANDLE_VALUE both mean none, since
// CreateFile reports failure with the one and most other calls with the other.
struct KernelTraits {
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void free(Handle h) { CloseHandle(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { RegCloseKey(h); }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { FreeLibrary(h); }
};

// FindFirstFile reports failure with INVALID_HANDLE_VALUE only.
struct FindTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static bool isValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void free(Handle h) { FindClose(h); }
};

struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { LocalFree(h); }
};

struct IconTraits {
    using Handle = HICON;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { DestroyIcon(h); }
};

// GDI objects (bitmaps, brushes, fonts).
struct ObjectTraits {
    using Handle = HGDIOBJ;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { DeleteObject(h); }
};

struct EventSourceTraits {
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { DeregisterEventSource(h); }
};

struct ViewTraits {
    using Handle = void*;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { UnmapViewOfFile(h); }
};

// Desktops opened by name or as the input desktop.
struct DesktopTraits {
    using Handle = HDESK;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { CloseDesktop(h); }
};

} // namespace scoped

using ScopedKernelHandle = ScopedGeneric<scoped::KernelTraits>;
using ScopedRegKey = ScopedGeneric<scoped::RegKeyTraits>;
using ScopedModule = ScopedGeneric<scoped::ModuleTraits>;
using ScopedFindHandle = ScopedGeneric<scoped::FindTraits>;
using ScopedLocalMemory = ScopedGeneric<scoped::LocalMemoryTraits>;
using ScopedIcon = ScopedGeneric<scoped::IconTraits>;
using ScopedGdiObject = ScopedGeneric<scoped::ObjectTraits>;
using ScopedEventSource = ScopedGeneric<scoped::EventSourceTraits>;
using ScopedView = ScopedGeneric<scoped::ViewTraits>;
using ScopedDesktop = ScopedGeneric<scoped::DesktopTraits>;
