#pragma once
// Joins the DWARF unwinders of all modules of the process (32-bit Windows).
//
// Each module links its own static copy of the GCC unwinder, and a copy only
// knows the frame tables that were registered with it. An exception thrown in
// TCBase.dll and caught in Ondrivex.exe has to be unwound by TCBase's copy
// through the program's frames, so every module's tables are registered with
// every other module's copy. TCBase keeps the list of joined modules; every
// other module links UnwindGlue.cpp, which hooks its start-up registration.
#include "base/TCBaseApi.h"

extern "C" {
typedef void (*TcRegisterFrameFn)(const void* begin, void* object);
typedef void* (*TcDeregisterFrameFn)(const void* begin);

// Adds a module's frame table to every joined unwinder and the joined tables
// to the module's own unwinder. Called once per module during its start-up.
TCBASE_API void tcUnwindJoin(const void* begin, TcRegisterFrameFn reg, TcDeregisterFrameFn dereg);
// Reverses tcUnwindJoin when a module unloads.
TCBASE_API void tcUnwindLeave(const void* begin);
}
