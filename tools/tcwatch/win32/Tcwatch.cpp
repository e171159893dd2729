// tcwatch [--seconds N] [--rules FILE] [--events] [--server]
//
// Runs the system model, the foreground tracking, the system change service,
// the presence monitors and the status updates on this desktop, as the
// client does, and prints each report that differs from the one before, one
// line each:
//   time <TAB> executable <TAB> quality <TAB> string 1 <TAB> string 2 <TAB> string 3
// With --events also each change the system change service announces:
//   time <TAB> event <TAB> trace name
// With --server also each status message that would go to the server, a
// line
//   time <TAB> server <TAB> message type
// followed by the message's listing as tcmsg prints it (name=value, CR LF).
// All in UTF-8. Without --seconds it runs until stopped. The title rules are
// the installation's unless --rules names a file. Events go to standard
// error. Exit 0; 2 for wrong arguments.
#include <cstdio>
#include <memory>
#include <ctime>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Utf16.h"
#include "base/win32/WindowsSupport.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/monitoring/BackupActivityMonitorService.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/IdleUserMonitorService.h"
#include "shared/monitoring/PCLockedMonitorService.h"
#include "shared/monitoring/System.h"
#include "shared/monitoring/SystemChangeService.h"
#include "shared/server/ServerStatusUpdateService.h"
#include "tools/common/StderrEvents.h"

namespace {

void writeOut(const std::wstring& text)
{
    const std::string bytes = Utf16::toUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

std::wstring now()
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &t);
    wchar_t text[32] = {};
    std::wcsftime(text, 32, L"%Y/%m/%d %H:%M:%S", &local);
    return text;
}

// Prints the reports of the foreground tracking that differ from the last
// one, and rescans the desktop once a second as window changes would make
// the client do.
class ReportPrinter : public Service {
public:
    explicit ReportPrinter(System& system) : m_system(system) {}
    bool setup() override
    {
        setTimer(1000, Timer::Repeating);
        return true;
    }
    bool canProcessMsg(Msg& msg) override { return msg.getType() == Msg::PLUGIN_INFO; }
    bool processMsg(Msg& msg) override
    {
        int hwnd = 0;
        std::wstring s1, s2, s3, quality;
        msg.getAttributeValue(L"HWND", hwnd);
        msg.getAttributeValue(L"ContextString1", s1);
        msg.getAttributeValue(L"ContextString2", s2);
        msg.getAttributeValue(L"ContextString3", s3);
        msg.getAttributeValue(L"PluginInfoQuality", quality);
        const TopLevelWindow* window =
            m_system.findWindow(GenericAppChangeService::intToHandle(hwnd));
        const std::wstring exe = window == nullptr ? std::wstring(L"?") : window->getExeFileName();
        const std::wstring report = exe + L"\t" + quality + L"\t" + s1 + L"\t" + s2 + L"\t" + s3;
        if (report != m_last) {
            m_last = report;
            writeOut(now() + L"\t" + report + L"\n");
        }
        return true;
    }
    void onTimer() override { m_system.refresh(); }

private:
    System& m_system;
    std::wstring m_last;
};

// Prints each change the system change service announces.
class EventPrinter : public Service {
public:
    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override { return msg.getType() == Msg::SYSTEM_CHANGE_SERVICE; }
    bool processMsg(Msg& msg) override
    {
        int event = -1;
        msg.getAttributeValue(L"SystemChangeEvent", event);
        const wchar_t* name = SystemChangeService::getEventName(event);
        writeOut(now() + L"\tevent\t" + (name != nullptr ? name : std::to_wstring(event)) + L"\n");
        return true;
    }
};

// Stands in for the connection to the server: prints what it is given
// instead of sending it.
class ServerPrinter : public CommunicationDevice {
public:
    explicit ServerPrinter(bool print) : m_print(print) {}
    ~ServerPrinter() override { terminate(Infinite); }
    bool setup() override { return true; }
    void pushMessage(Msg* msg) override
    {
        std::unique_ptr<Msg> owned(msg);
        if (!owned || !m_print)
            return;
        std::wstring listing;
        owned->toString(listing);
        writeOut(now() + L"\tserver\t" + Msg::getTypeName(owned->getType()) + L"\n" + listing);
    }
    using CommunicationDevice::pushMessage;
    bool canSendMsgs() override { return true; }
    bool canReceiveMsgs() override { return false; }
    CommMechanism getCommType() override { return Http; }

private:
    bool m_print;
};

// The client's monitoring, in the client's order, with the printers.
class WatchFramework : public ApplicationFramework {
public:
    WatchFramework(const std::wstring& rules, bool events, bool server)
    {
        addCommunicationDevice(new InternalCommDevice());
        m_changes = new SystemChangeService();
        addService(m_changes);
        System& system = m_changes->getSystemInfo();
        if (events)
            addService(new EventPrinter());
        addCommunicationDevice(new ServerPrinter(server));
        addService(new ServerStatusUpdateService(system));
        addService(new PCLockedMonitorService());
        addService(new IdleUserMonitorService(system));
        addService(rules.empty() ? new GenericAppChangeService(system)
                                 : new GenericAppChangeService(system, rules));
        addService(new BackupActivityMonitorService(system));
        addService(new ReportPrinter(system));
    }

private:
    SystemChangeService* m_changes = nullptr;
};

int usage()
{
    const std::string text =
        "usage: tcwatch [--seconds N] [--rules FILE] [--events] [--server]\n"
        "  prints each report of the foreground tracking that differs from the\n"
        "  one before: time, executable, quality, strings 1 to 3, tab-separated;\n"
        "  --events: also each change announced (time, \"event\", its name);\n"
        "  --server: also each status message for the server (time, \"server\",\n"
        "  its type, then its attributes as tcmsg lists them)\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    return 2;
}

int run(const std::vector<std::wstring>& args)
{
    long seconds = -1;
    std::wstring rules;
    bool events = false;
    bool server = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--seconds" && i + 1 < args.size()) {
            wchar_t* end = nullptr;
            seconds = std::wcstol(args[++i].c_str(), &end, 10);
            if (end == nullptr || *end != L'\0' || seconds < 0)
                return usage();
        } else if (args[i] == L"--rules" && i + 1 < args.size()) {
            rules = args[++i];
        } else if (args[i] == L"--events") {
            events = true;
        } else if (args[i] == L"--server") {
            server = true;
        } else {
            return usage();
        }
    }
    toolsupport::traceToStderr(L"tcwatch");
    // The model empties its temporary folder when it starts; the client's
    // icon library lives in the shared one, so the tool takes a folder of
    // its own before anything asks for it.
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length > 0 && length <= MAX_PATH) {
        const std::wstring own = std::wstring(temp) + L"tcwatch";
        CreateDirectoryW(own.c_str(), nullptr);
        SetEnvironmentVariableW(L"TMP", own.c_str());
        SetEnvironmentVariableW(L"TEMP", own.c_str());
    }
    try {
        WatchFramework framework(rules, events, server);
        if (!framework.setup())
            return 1;
        const ULONGLONG end =
            seconds < 0 ? ~0ULL : GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
        while (GetTickCount64() < end) {
            bool busy = false;
            try {
                busy = framework.pulse();
            } catch (const Exception& e) {
                const std::string text = Utf16::toUtf8(e.toString()) + "\n";
                std::fwrite(text.data(), 1, text.size(), stderr);
            }
            if (!busy)
                Sleep(10);
        }
    } catch (const Exception& e) {
        const std::string text = "tcwatch: " + Utf16::toUtf8(e.toString()) + "\n";
        std::fwrite(text.data(), 1, text.size(), stderr);
        Logger::shutDown();
        return 1;
    }
    Logger::shutDown();
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const UINT previous = GetConsoleOutputCP();
    if (previous != 0)
        SetConsoleOutputCP(CP_UTF8);
    const int code = run(std::vector<std::wstring>(argv + 1, argv + argc));
    if (previous != 0)
        SetConsoleOutputCP(previous);
    return code;
}
