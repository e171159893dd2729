#pragma once
// The operating-system side of the shared test support.
#include <string>

#include "base/Registry.h"

namespace testsupport {

// Deletes the key with all its subkeys, when there is one (Windows only:
// natively the whole registry of a test process goes with the process).
void removeKeyTree(Registry::RootKey root, const std::wstring& keyPath);

} // namespace testsupport
