// A stand-in for an add-in library in the component registration tests.
// Each call appends "register" or "unregister" to the file named by
// ONDRIVEX_TEST_COMPONENT_LOG; when ONDRIVEX_TEST_COMPONENT_RESULT is "fail"
// the calls report E_FAIL. Built a second time without the two exports.
// The build defines TC_EXPORT, the plug-in's export attribute.
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include "base/win32/WindowsSupport.h"
#define TC_ENTRY extern "C" TC_EXPORT long __stdcall
#else
#include <cstdlib>
#define TC_ENTRY extern "C" TC_EXPORT long
#endif

namespace {

// Read through the system rather than the runtime's copy of the
// environment, which a library does not share with its host program.
bool environment(const char* name, char* value, size_t size)
{
#if defined(_WIN32)
    const DWORD n = GetEnvironmentVariableA(name, value, static_cast<DWORD>(size));
    return n > 0 && n < size;
#else
    const char* found = std::getenv(name);
    if (found == nullptr || std::strlen(found) >= size)
        return false;
    std::strcpy(value, found);
    return true;
#endif
}

[[maybe_unused]] long record(const char* what)
{
    char path[1024];
    if (environment("ONDRIVEX_TEST_COMPONENT_LOG", path, sizeof path)) {
        if (FILE* f = std::fopen(path, "ab")) {
            std::fprintf(f, "%s\n", what);
            std::fclose(f);
        }
    }
    char result[16];
    if (environment("ONDRIVEX_TEST_COMPONENT_RESULT", result, sizeof result) &&
        std::strcmp(result, "fail") == 0)
        return static_cast<long>(0x80004005L); // E_FAIL
    return 0;
}

} // namespace

#if !defined(TC_NO_REGISTRATION_EXPORTS)
TC_ENTRY DllRegisterServer()
{
    return record("register");
}

TC_ENTRY DllUnregisterServer()
{
    return record("unregister");
}
#else
TC_ENTRY TestComponentPresent()
{
    return 0;
}
#endif
