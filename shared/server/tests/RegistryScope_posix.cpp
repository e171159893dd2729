#include "RegistryScope.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

RegistryScope::RegistryScope(const std::string& testName)
{
    m_keyPath = L"Software\\Ondrivex\\Tests\\" + std::wstring(testName.begin(), testName.end());
    std::string pattern = (std::filesystem::temp_directory_path() / "ondrivex-registry-XXXXXX").string();
    if (::mkdtemp(&pattern[0]) != nullptr) {
        m_folder = pattern;
        ::setenv("ONDRIVEX_REGISTRY_DIR", m_folder.c_str(), 1);
    }
}

RegistryScope::~RegistryScope()
{
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
        ::unsetenv("ONDRIVEX_REGISTRY_DIR");
    }
}
