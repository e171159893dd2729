#pragma once
// The operating-system side of Icon.
#include <string>

#include "base/ByteArray.h"

struct HICON__;

namespace iconplatform {

// Creates or truncates the file and writes all bytes. False, with the system
// error left set, when that fails; a partly written file is removed.
bool writeFile(const std::wstring& path, const ByteArray& bytes);

// Destroys a loaded icon, keeping the thread's last system error.
void destroyIcon(HICON__* icon);

} // namespace iconplatform
