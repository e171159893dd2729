#pragma once
// TCBASE_API marks what TCBase.dll exports: the classes and functions that
// other modules and the tests use. Everything else stays inside the DLL.
// While the DLL is built CMake defines TCBase_EXPORTS and the marked names are
// exported; every other module imports them. Natively TCBase is a static
// library and the mark is empty.
//
// Exporting a class exports all its members, its static data and its virtual
// table. Templates and inline functions need no mark: they are compiled where
// they are used.
#if defined(_WIN32)
#if defined(TCBase_EXPORTS)
#define TCBASE_API __declspec(dllexport)
#else
#define TCBASE_API __declspec(dllimport)
#endif
#else
#define TCBASE_API
#endif
