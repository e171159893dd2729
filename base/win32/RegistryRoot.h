#pragma once
// The Win32 handle of each of Registry's root keys, for the code that works
// on the Windows registry directly (the registry's own Windows half and the
// tests' clean-up).
#include "base/Registry.h"
#include "base/win32/WindowsSupport.h"

class RegistryRoot {
public:
    // The predefined key of the root; null for a value outside the enumeration.
    static HKEY handleOf(Registry::RootKey root);
};
