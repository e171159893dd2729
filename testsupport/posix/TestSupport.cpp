#include "testsupport/TestSupport.h"

namespace testsupport {

// The registry of a native test process is a folder of its own, removed
// with the process.
void TestKey::removeTree(Registry::RootKey, const std::wstring&) {}

} // namespace testsupport
