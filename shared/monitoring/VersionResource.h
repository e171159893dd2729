#pragma once
// The operating-system side of Version: fetching the raw version block.
#include <cstdint>
#include <string>

#include "base/ByteArray.h"

namespace versionresource {

// Bytes needed for the file's version information; 0 when it has none or
// the file cannot be read.
uint32_t size(const std::wstring& path);

// Reads the version information into out (size bytes). False, with the
// system error left set, when that fails.
bool read(const std::wstring& path, uint32_t size, ByteArray& out);

} // namespace versionresource
