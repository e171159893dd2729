#pragma once
// The operating-system side of Tools, one implementation per platform.
#include <string>

namespace toolsplatform {

// The signed-in account as the platform names it (DOMAIN\user). False, with
// the system error left set, when it cannot be had.
bool accountName(std::wstring& account);

} // namespace toolsplatform
