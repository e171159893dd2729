#pragma once
// The Win32 handle of each of Registry's root keys, for the code that works
// on the Windows registry directly.
#include "base/Registry.h"
#include "base/win32/WindowsSupport.h"

namespace registrystore {

// The predefined key of the root; null for a value outside the enumeration.
TCBASE_API HKEY rootHandle(Registry::RootKey root);

} // namespace registrystore
