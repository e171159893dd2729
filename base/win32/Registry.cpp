#include "base/Registry.h"
#include "base/win32/RegistryRoot.h"
#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

HKEY RegistryRoot::handleOf(Registry::RootKey root)
{
    switch (root) {
    case Registry::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case Registry::CurrentUser:
        return HKEY_CURRENT_USER;
    case Registry::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case Registry::Users:
        return HKEY_USERS;
    }
    return nullptr;
}

REGSAM RegistryRoot::viewFlag(Registry::RootKey root)
{
    return root == Registry::LocalMachine ? KEY_WOW64_32KEY : 0;
}

namespace {

// Opens an existing key with the access given; false when it cannot.
bool openKey(Registry::RootKey root, const std::wstring& keyPath, REGSAM access, ScopedRegKey& key)
{
    HKEY base = RegistryRoot::handleOf(root);
    return base != nullptr &&
           RegOpenKeyExW(base, keyPath.c_str(), 0, access | RegistryRoot::viewFlag(root),
                         key.receive()) == ERROR_SUCCESS;
}

} // namespace

bool Registry::queryStored(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
                           uint32_t& type, std::vector<uint8_t>& data)
{
    ScopedRegKey key;
    if (!openKey(root, keyPath, KEY_QUERY_VALUE, key))
        return false;
    // The value may grow between asking for its size and reading it.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        DWORD kind = REG_NONE;
        LONG rc = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &kind, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return false;
        std::vector<uint8_t> buffer(size);
        DWORD got = size;
        rc = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &kind,
                              buffer.empty() ? nullptr : buffer.data(), &got);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS || got > buffer.size())
            return false;
        buffer.resize(got);
        type = kind;
        data.swap(buffer);
        return true;
    }
    return false;
}

bool Registry::setStored(RootKey root, const std::wstring& keyPath, const std::wstring& valueName,
                         uint32_t type, const std::vector<uint8_t>& data)
{
    HKEY base = RegistryRoot::handleOf(root);
    if (base == nullptr)
        return false;
    ScopedRegKey key;
    if (RegCreateKeyExW(base, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | RegistryRoot::viewFlag(root), nullptr, key.receive(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    static const BYTE nothing = 0;
    return RegSetValueExW(key.get(), valueName.c_str(), 0, type,
                          data.empty() ? &nothing : data.data(),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool Registry::removeStored(RootKey root, const std::wstring& keyPath,
                            const std::wstring& valueName)
{
    ScopedRegKey key;
    if (!openKey(root, keyPath, KEY_SET_VALUE, key))
        return false;
    return RegDeleteValueW(key.get(), valueName.c_str()) == ERROR_SUCCESS;
}
