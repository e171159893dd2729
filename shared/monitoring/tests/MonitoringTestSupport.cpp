#include "MonitoringTestSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/File.h"
#include "base/Logger.h"

#if defined(_WIN32)
#include <process.h>
#define montest_getpid _getpid
#else
#include <unistd.h>
#define montest_getpid getpid
#endif

namespace fs = std::filesystem;

namespace montest {
namespace {

std::vector<Recorded>& record()
{
    static std::vector<Recorded>* events = new std::vector<Recorded>;
    return *events;
}

// Logger::Log hands the event to the log devices, then to the trace
// devices: the trace side skips the event the log side has just recorded,
// so every event is recorded once, marked with the way it came.
const Event* g_justLogged = nullptr;

class TraceSide : public LogDevice {
public:
    void Setup() override {}
    void ShutDown() override {}
    void Write(Event& event) override
    {
        if (&event == g_justLogged) {
            g_justLogged = nullptr;
            return;
        }
        record().push_back({event.getID(), event.getDescription(), event.getDetails(), false});
    }
};

class LogSide : public LogDevice {
public:
    void Setup() override {}
    void ShutDown() override {}
    void Write(Event& event) override
    {
        record().push_back({event.getID(), event.getDescription(), event.getDetails(), true});
        g_justLogged = &event;
    }
};

fs::path toPath(const std::wstring& text)
{
    return fs::path(text);
}

} // namespace

void EventRecord::install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    Logger::initialise(L"OndrivexMonitoringTests");
    Logger::addCustomTraceDevice(new TraceSide);
    Logger::addCustomLogDevice(new LogSide);
}

void EventRecord::clear()
{
    record().clear();
}

const std::vector<Recorded>& EventRecord::all()
{
    return record();
}

std::vector<Recorded> EventRecord::withId(uint32_t id)
{
    std::vector<Recorded> found;
    for (const Recorded& event : record()) {
        if (event.id == id)
            found.push_back(event);
    }
    return found;
}

std::wstring uniqueName(const std::wstring& stem)
{
    return stem + std::to_wstring(static_cast<long>(montest_getpid()));
}

TempFolder::TempFolder(const std::wstring& stem)
{
    const fs::path folder = fs::temp_directory_path() / toPath(uniqueName(stem));
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    m_path = folder.wstring();
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    fs::remove_all(toPath(m_path), ignored);
}

std::wstring TempFolder::file(const std::wstring& name) const
{
    return (toPath(m_path) / toPath(name)).wstring();
}

std::vector<uint8_t> readFile(const std::wstring& path)
{
    std::ifstream in(toPath(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(toPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::wstring& path)
{
    std::error_code ignored;
    return fs::is_regular_file(toPath(path), ignored);
}

void removeFile(const std::wstring& path)
{
    std::error_code ignored;
    fs::remove(toPath(path), ignored);
}

} // namespace montest
