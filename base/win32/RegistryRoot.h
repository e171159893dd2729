#pragma once
// The Win32 handle and view of each of Registry's root keys, for the code that
// works on the Windows registry directly (the registry's own Windows half and
// the tests' clean-up).
#include "base/Registry.h"
#include "base/TCBaseApi.h"
#include "base/win32/WindowsSupport.h"

class TCBASE_API RegistryRoot {
public:
    // The predefined key of the root; null for a value outside the enumeration.
    static HKEY handleOf(Registry::RootKey root);

    // The access flag that picks the root's registry view. Machine-wide values
    // live in the 32-bit view, where the 32-bit client, service and installer
    // keep them, so the 64-bit build reads and writes them there too; the other
    // roots are taken as the process sees them.
    static REGSAM viewFlag(Registry::RootKey root);
};
