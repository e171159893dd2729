#pragma once
// The Win32 handle of each of Registry's root keys, for the code that works
// on the Windows registry directly.
#include "base/Registry.h"
#include "base/win32/WindowsSupport.h"

namespace registrystore {

// The predefined key of the root; null for a value outside the enumeration.
HKEY rootHandle(Registry::RootKey root);

// The access flag that picks the root's registry view. Machine-wide values
// live in the 32-bit view, where the 32-bit client, service and installer
// keep them, so the 64-bit build reads and writes them there too; the other
// roots are taken as the process sees them.
REGSAM viewFlag(Registry::RootKey root);

} // namespace registrystore
