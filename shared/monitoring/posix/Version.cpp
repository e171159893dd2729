#include "shared/monitoring/VersionResource.h"

#include <cerrno>

namespace versionresource {

// Natively no executable carries Windows resources; every file reads as one
// without version information.
uint32_t size(const std::wstring&)
{
    return 0;
}

bool read(const std::wstring&, uint32_t, ByteArray& out)
{
    out.clear();
    errno = ENOEXEC;
    return false;
}

} // namespace versionresource
