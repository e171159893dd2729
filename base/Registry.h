#pragma once
#include <string>

#include "base/ByteArray.h"

// Reads and writes configuration values below one root key and root path.
// A value path may carry a sub-path ("Sub\Value" reads Value of the key
// root path + "\Sub"). Reads fall back to their defaults and never throw;
// writes report false on failure.
//
// Natively the registry is a set of files, one per root key, in the folder
// named by the environment variable ONDRIVEX_REGISTRY_DIR (default
// $HOME/.ondrivex/registry).
class Registry {
public:
    enum RootKey { LocalMachine = 0, CurrentUser = 1, ClassesRoot = 2, Users = 3 };

    static const wchar_t* const SoftwareKey; // "Software\\Ondrivex"

    Registry(RootKey root = LocalMachine, const std::wstring& rootPath = SoftwareKey);

    void setRootKey(RootKey root) { m_root = root; }
    RootKey getRootKey() const { return m_root; }
    void setRootKeyPath(const std::wstring& path);
    const std::wstring& getRootKeyPath() const { return m_rootPath; }

    // The value's first four bytes as an integer, whatever its type.
    int read(const std::wstring& name, int defaultValue) const;
    // A string value (REG_SZ), else the default.
    std::wstring read(const std::wstring& name, const std::wstring& defaultValue) const;
    std::wstring read(const std::wstring& name, const wchar_t* defaultValue) const;
    // The value's bytes, else the default.
    ByteArray read(const std::wstring& name, const ByteArray& defaultValue) const;

    bool write(const std::wstring& name, int value);                 // REG_DWORD
    bool write(const std::wstring& name, const std::wstring& value); // REG_SZ
    bool write(const std::wstring& name, const wchar_t* value);      // REG_SZ
    bool write(const std::wstring& name, const ByteArray& value);    // REG_BINARY

    // Deletes the value directly under the root path.
    bool deleteValue(const std::wstring& name);

    // Splits root path + "\" + cleaned value path at its last backslash.
    void splitValuePath(const std::wstring& name, std::wstring& keyPath,
                        std::wstring& valueName) const;

private:
    RootKey m_root;
    std::wstring m_rootPath;
};
