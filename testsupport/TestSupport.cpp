#include "testsupport/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/File.h"

#if defined(_WIN32)
#include <process.h>
#define testsupport_getpid _getpid
#else
#include <unistd.h>
#define testsupport_getpid getpid
#endif

namespace fs = std::filesystem;

namespace testsupport {

std::wstring uniqueName(const std::wstring& stem)
{
    return stem + std::to_wstring(static_cast<long>(testsupport_getpid()));
}

TempFolder::TempFolder(const std::wstring& stem)
{
    const fs::path folder = fs::temp_directory_path() / uniqueName(L"odx-" + stem + L"-");
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    m_path = folder.wstring();
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    fs::remove_all(fs::path(m_path), ignored);
}

std::wstring TempFolder::file(const std::wstring& name) const
{
    return m_path + File::Separator + name;
}

bool sameFolder(const std::wstring& a, const std::wstring& b)
{
    auto normal = [](std::wstring path) {
        while (path.size() > 1 && (path.back() == L'/' || path.back() == L'\\'))
            path.pop_back();
        if (File::Separator[0] == L'\\') {
            for (wchar_t& c : path) {
                if (c >= L'A' && c <= L'Z')
                    c = static_cast<wchar_t>(c - L'A' + L'a');
                if (c == L'/')
                    c = L'\\';
            }
        }
        return path;
    };
    return normal(a) == normal(b);
}

std::vector<uint8_t> readFile(const std::wstring& path)
{
    std::ifstream in(fs::path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

void writeFile(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

bool fileExists(const std::wstring& path)
{
    std::error_code ignored;
    return fs::is_regular_file(fs::path(path), ignored);
}

void removeFile(const std::wstring& path)
{
    std::error_code ignored;
    fs::remove(fs::path(path), ignored);
}

TestKey::TestKey(const std::wstring& stem, Registry::RootKey root)
    : m_root(root), m_path(L"Software\\OndrivexTests\\" + uniqueName(stem))
{
    removeTree(m_root, m_path);
}

TestKey::~TestKey()
{
    removeTree(m_root, m_path);
}

} // namespace testsupport
