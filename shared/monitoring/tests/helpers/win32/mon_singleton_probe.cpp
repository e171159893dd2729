// The second process of the single-instance tests.
//
//   mon_singleton_probe check NAME
//       creates the object NAME and exits with the sum of
//         1  create returned true
//         2  event 1061602 was logged (Logger::Log) naming the object
//         4  doesObjectExist(NAME) is true afterwards
//   mon_singleton_probe hold NAME READY QUIT
//       creates the object NAME, sets the event READY and keeps the object
//       until the event QUIT is set (at most a minute); exits 0 when create
//       returned true, 1 otherwise.
#include <string>
#include <vector>

#include "base/Event.h"
#include "base/LogDevice.h"
#include "base/Logger.h"
#include "base/win32/WindowsSupport.h"
#include "shared/monitoring/win32/SystemSingleton.h"
#include <shellapi.h>

namespace {

struct Seen {
    uint32_t id;
    std::wstring details;
};
std::vector<Seen> g_logged;

class LogRecorder : public LogDevice {
public:
    void Setup() override {}
    void ShutDown() override {}
    void Write(Event& event) override { g_logged.push_back({event.getID(), event.getDetails()}); }
};

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3)
        return 100;
    const std::wstring mode = argv[1];
    const std::wstring name = argv[2];

    Logger::initialise(L"OndrivexMonitoringTests");
    Logger::addCustomLogDevice(new LogRecorder);

    SystemSingleton singleton;
    const bool created = singleton.create(name.c_str());

    if (mode == L"check") {
        int result = created ? 1 : 0;
        for (const Seen& seen : g_logged) {
            if (seen.id == 1061602 &&
                seen.details.find(L"Object Name:" + name) != std::wstring::npos)
                result |= 2;
        }
        if (SystemSingleton::doesObjectExist(name.c_str()))
            result |= 4;
        return result;
    }
    if (mode == L"hold" && argc >= 5) {
        HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
        HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
        if (ready == nullptr || quit == nullptr)
            return 101;
        SetEvent(ready);
        WaitForSingleObject(quit, 60000);
        CloseHandle(ready);
        CloseHandle(quit);
        return created ? 0 : 1;
    }
    return 102;
}
