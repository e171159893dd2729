#pragma once
// The operating-system side of Registry: raw values as type and bytes.
// Registry_win32.cpp keeps them in the Win32 registry, Registry_posix.cpp
// in one file per root key.
#include <cstdint>
#include <string>
#include <vector>

#include "base/Registry.h"

namespace registrystore {

// False when the key or value is missing or cannot be read; then type and
// data are unchanged.
bool query(Registry::RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
           uint32_t& type, std::vector<uint8_t>& data);
// Creates the key when missing and sets the value.
bool set(Registry::RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
         uint32_t type, const std::vector<uint8_t>& data);
bool remove(Registry::RootKey root, const std::wstring& keyPath, const std::wstring& valueName);

} // namespace registrystore
