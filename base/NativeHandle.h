#pragma once
// How portable headers name an operating-system handle: by one of these
// aliases and nothing else. They are Windows' own handle types, declared
// without <windows.h> (HWND, HICON and HMODULE are pointers to these structs
// in its strict mode), so Windows code passes them on without a cast and a
// window, an icon and a module cannot be mixed up. Natively a kernel handle
// carries a file descriptor by value (base/posix/PosixSupport.h converts);
// the other kinds stay null there.
struct HWND__;
struct HICON__;
struct HINSTANCE__;

namespace native {
using Handle = void*;        // HANDLE: a kernel object (file, mutex, mapping)
using Window = HWND__*;      // HWND
using Icon = HICON__*;       // HICON
using Module = HINSTANCE__*; // HMODULE, HINSTANCE
} // namespace native

// The calling convention of a function the system calls back (a window
// procedure, a timer or enumeration callback).
#if defined(_WIN32)
#define TC_CALLBACK __stdcall
#else
#define TC_CALLBACK
#endif
