#include "shared/monitoring/Version.h"

#include "base/ByteArray.h"

#include <cerrno>

// Natively no executable carries Windows resources; every file reads as one
// without version information.
uint32_t Version::resourceSize(const std::wstring&)
{
    return 0;
}

bool Version::readResource(const std::wstring&, uint32_t, ByteArray& out)
{
    out.clear();
    errno = ENOEXEC;
    return false;
}
