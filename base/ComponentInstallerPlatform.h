#pragma once
// The operating-system side of ComponentInstaller.
#include <cstdint>
#include <string>

namespace componentplatform {

enum class CallResult { NotLoaded, NoEntry, Called };

// Loads the library, calls the parameterless export entry (an HRESULT
// function) and releases the library again. On NotLoaded and NoEntry the
// system error is left set and reason may say more; on Called, result is
// what the export returned (and, when negative, also the system error).
CallResult callExport(const std::wstring& path, const char* entry, int32_t& result, std::wstring& reason);
bool setCurrentFolder(const std::wstring& folder);

} // namespace componentplatform
