#pragma once
// TCSHRD_API marks what TCShrd.dll exports, as TCBASE_API does for TCBase
// (see base/TCBaseApi.h). CMake defines TCShrd_EXPORTS while the DLL is built.
#if defined(_WIN32)
#if defined(TCShrd_EXPORTS)
#define TCSHRD_API __declspec(dllexport)
#else
#define TCSHRD_API __declspec(dllimport)
#endif
#else
#define TCSHRD_API
#endif
