#include "PlatformTestSupport.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/File.h"
#include "base/Logger.h"

namespace fs = std::filesystem;

namespace platformtest {

TempFolder::TempFolder(const std::wstring& stem)
{
    const fs::path folder = fs::temp_directory_path() / testsupport::uniqueName(L"odx-" + stem + L"-");
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

void writeFile(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::wstring& path)
{
    std::error_code ignored;
    return fs::is_regular_file(fs::path(path), ignored);
}

EventRecorder::EventRecorder() : m_events(std::make_shared<std::vector<testsupport::CapturedEvent>>())
{
    if (!Logger::isInitialised())
        Logger::initialise(L"PlatformTests");
    Logger::addCustomTraceDevice(new testsupport::CaptureDevice(m_events));
}

EventRecorder::~EventRecorder()
{
    Logger::shutDown();
}

size_t EventRecorder::count(uint32_t id) const
{
    size_t n = 0;
    for (const auto& e : *m_events)
        n += e.id == id ? 1 : 0;
    return n;
}

const testsupport::CapturedEvent* EventRecorder::find(uint32_t id) const
{
    for (const auto& e : *m_events) {
        if (e.id == id)
            return &e;
    }
    return nullptr;
}

} // namespace platformtest
