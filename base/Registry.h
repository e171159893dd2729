#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "base/TCBaseApi.h"

// Reads and writes configuration values below one root key and root path.
// A value path may carry a sub-path ("Sub\Value" reads Value of the key
// root path + "\Sub"). Reads fall back to their defaults and never throw;
// writes report false on failure and leave the stored value as it was.
//
// On Windows machine-wide values (LocalMachine) are kept in the registry's
// 32-bit view by both builds, where the 32-bit client, service and installer
// keep them, so that a 64-bit add-in sees the same "InstallDir" and log
// switches; the other roots are used as the process sees them. Natively the registry is a set of
// files, one per root key, in the folder named by the environment variable
// ONDRIVEX_REGISTRY_DIR (default $HOME/.ondrivex/registry); each file is
// replaced as a whole on every write, so readers never see half a change.
class TCBASE_API Registry {
public:
    enum RootKey { LocalMachine = 0, CurrentUser = 1, ClassesRoot = 2, Users = 3 };

    // The value types as the registry numbers them.
    enum ValueType { TypeString = 1, TypeBinary = 3, TypeDword = 4 };

    static const wchar_t* const SoftwareKey; // "Software\\Ondrivex"

    Registry(RootKey root = LocalMachine, const std::wstring& rootPath = SoftwareKey);

    void setRootKey(RootKey root) { m_root = root; }
    RootKey getRootKey() const { return m_root; }
    // The path is cleaned (Tools::cleanString).
    void setRootKeyPath(const std::wstring& path);
    const std::wstring& getRootKeyPath() const { return m_rootPath; }

    // The value's first four bytes as a little-endian integer, whatever its
    // type; a value of one to three bytes is read as those bytes with the
    // missing high bytes zero. The default when the key or value is missing,
    // the value is empty, or the read fails.
    int read(const std::wstring& name, int defaultValue) const;
    // A string value (REG_SZ) up to its first terminator, else the default.
    std::wstring read(const std::wstring& name, const std::wstring& defaultValue) const;
    std::wstring read(const std::wstring& name, const wchar_t* defaultValue) const;
    // A binary value's (REG_BINARY) bytes, else the default.
    ByteArray read(const std::wstring& name, const ByteArray& defaultValue) const;

    // Create the key when missing (non-volatile) and set the value.
    bool write(const std::wstring& name, int value);                 // REG_DWORD
    bool write(const std::wstring& name, const std::wstring& value); // REG_SZ, terminated
    bool write(const std::wstring& name, const wchar_t* value);      // REG_SZ, terminated
    bool write(const std::wstring& name, const ByteArray& value);    // REG_BINARY

    // Deletes the value of that name directly under the root path; the name
    // is not split into a sub-path. True when it was deleted.
    bool deleteValue(const std::wstring& name);

    // Splits root path + "\" + cleaned value path at its last backslash into
    // the key path (relative to the root key) and the value name.
    void splitValuePath(const std::wstring& name, std::wstring& keyPath,
                        std::wstring& valueName) const;

private:
    // The raw value at the value path name (see splitValuePath): false when
    // it is missing or cannot be read, type and data unchanged then.
    bool readRaw(const std::wstring& name, uint32_t& type, std::vector<uint8_t>& data) const;
    // Creates the key when missing and stores the value at the value path.
    bool writeRaw(const std::wstring& name, uint32_t type, const std::vector<uint8_t>& data);

    // Operating-system half, in win32/Registry.cpp (the Win32 registry) and
    // posix/Registry.cpp (one file per root key): raw values as type and bytes.
    // False when the key or value is missing or cannot be read; then type and
    // data are unchanged.
    static bool queryStored(RootKey root, const std::wstring& keyPath,
                            const std::wstring& valueName, uint32_t& type,
                            std::vector<uint8_t>& data);
    // Creates the key when missing and sets the value.
    static bool setStored(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
                          uint32_t type, const std::vector<uint8_t>& data);
    static bool removeStored(RootKey root, const std::wstring& keyPath,
                             const std::wstring& valueName);

    RootKey m_root;
    std::wstring m_rootPath;
};
