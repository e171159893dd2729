#pragma once
#include <string>

// A registry area of its own for one test: a key path below
// "Software\Ondrivex\Tests" that no other test process uses, removed (under
// both root keys) when the scope ends. Natively the whole registry is
// redirected to a fresh temporary folder as well.
class RegistryScope {
public:
    explicit RegistryScope(const std::string& testName);
    ~RegistryScope();
    RegistryScope(const RegistryScope&) = delete;
    RegistryScope& operator=(const RegistryScope&) = delete;

    const std::wstring& keyPath() const { return m_keyPath; }

private:
    std::wstring m_keyPath;
    std::string m_folder; // native only
};
