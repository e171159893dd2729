#include "client/win32/CTavelinApp.h"

#include <commctrl.h>
#include <cstdio>
#include <tlhelp32.h>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Execute.h"
#include "base/Logger.h"
#include "base/Registry.h"
#include "base/Tools.h"
#include "client/AdjustableClock.h"
#include "client/CCustomCommandLineInfo.h"
#include "client/TavelinClientApplication.h"
#include "client/win32/CDlgController.h"
#include "client/win32/ClockControlWindow.h"
#include "shared/framework/Clock.h"

const wchar_t* const CTavelinApp::ServiceName = L"OndrivexService";

namespace {
// The start-up trace stays open for the life of the process.
FILE* g_debugLog = nullptr;
} // namespace

CTavelinApp::CTavelinApp() = default;

CTavelinApp::~CTavelinApp()
{
    destroyApplication();
}

std::wstring CTavelinApp::debugLogPath()
{
    wchar_t folder[260] = L"";
    DWORD n = GetTempPathW(260, folder);
    // A folder that does not fit is no folder: the file must not land in
    // whatever the current folder happens to be.
    if (n == 0 || n >= 260)
        return std::wstring();
    return std::wstring(folder, n) + L"debug.log";
}

void CTavelinApp::trace(const char* text)
{
    if (!g_debugLog)
        return;
    fputs(text, g_debugLog);
    fputs("\n", g_debugLog);
    fflush(g_debugLog);
}

int CTavelinApp::showMessage(const std::wstring& text, UINT flags)
{
    return MessageBoxW(nullptr, text.c_str(), L"Ondrivex", flags);
}

void CTavelinApp::runCommand(const std::wstring& commandLine)
{
    Execute::exec(commandLine);
}

bool CTavelinApp::isLocalSystem()
{
    return Tools::isCurrentUserLocalSystem();
}

std::wstring CTavelinApp::singletonName()
{
    return Tools::createLocalObjectName(L"ClientInstanceMFC");
}

bool CTavelinApp::EnsureCurrentUserIsNotLocalSystem()
{
    if (!isLocalSystem())
        return true;
    Event e(1190003, L"Can not start Ondrivex client in local system account",
            TC_AT(L"CTavelinApp::EnsureCurrentUserIsNotLocalSystem"));
    Logger::Log(e);
    return false;
}

bool CTavelinApp::EnsureSingleInstance()
{
    std::wstring name = singletonName();
    if (m_singleton.create(name.c_str()))
        return true;
    Event e(1190004, L"Multiple instances of Ondrivex client started",
            TC_AT(L"CTavelinApp::EnsureSingleInstance"));
    Logger::Log(e);
    return false;
}

void CTavelinApp::setupLogging()
{
    Logger::initialise(L"Ondrivex");
    Logger::addFileLogDevice(false);
    Logger::addEventLogDevice();
    Logger::addDebugStreamLogDevice();
    Logger::addConsoleLogDevice();
}

const Clock& CTavelinApp::clock() const
{
    return m_testClock ? static_cast<const Clock&>(*m_testClock) : Clock::system();
}

void CTavelinApp::createApplication()
{
    TavelinClientApplication::Environment environment;
    if (ClockControlWindow::requested(Registry(Registry::LocalMachine))) {
        m_testClock.reset(new AdjustableClock(Clock::system()));
        environment.clock = m_testClock.get();
    }
    m_app.reset(new TavelinClientApplication(environment));
    // A service that fails its set-up does not stop the client.
    m_app->setup();
}

void CTavelinApp::destroyApplication()
{
    std::unique_ptr<TavelinClientApplication> app(std::move(m_app));
    app.reset();
}

void CTavelinApp::DoWork()
{
    if (m_app)
        m_app->doWork();
}

namespace {
struct WindowSearch {
    DWORD process;
};

BOOL CALLBACK terminateOwner(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, owner);
        if (process) {
            TerminateProcess(process, 0);
            CloseHandle(process);
        }
    }
    return TRUE;
}
} // namespace

void CTavelinApp::terminateOtherClient(const std::wstring& exeName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    DWORD found = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        std::wstring name(entry.szExeFile);
        size_t slash = name.find(L'\\');
        if (slash != std::wstring::npos)
            name = name.substr(slash + 1);
        if (name == exeName && entry.th32ProcessID != GetCurrentProcessId()) {
            found = entry.th32ProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    if (!found)
        return;
    WindowSearch search{found};
    EnumWindows(&terminateOwner, reinterpret_cast<LPARAM>(&search));
}

bool CTavelinApp::runStatusWindow()
{
    trace("Instantiate DLG");
    CDlgController window(*m_app, Registry(Registry::CurrentUser), clock());
    trace("Create DLG");
    if (!window.create(nullptr))
        return false;
    std::unique_ptr<ClockControlWindow> clockControl;
    if (m_testClock) {
        clockControl.reset(new ClockControlWindow(*m_testClock));
        if (!clockControl->create())
            trace("No clock control window");
    }
    // The window restored its placement while it was made; the program
    // starts in the tray all the same.
    ShowWindow(window.hwnd(), SW_HIDE);
    trace("Run Modal...");
    window.runModalLoop();
    destroyApplication();
    return true;
}

bool CTavelinApp::startUp(const std::vector<std::wstring>& arguments)
{
    trace("Startup...");
    CCustomCommandLineInfo options;
    options.parse(arguments);
    const std::wstring service = L"OndrivexService.exe ";
    if (options.m_stopClient) {
        runCommand(service + L"/stop " + ServiceName);
        terminate(L"Ondrivex.exe");
        terminate(L"Tavelin.exe");
        return false;
    }
    if (options.m_installStart) {
        runCommand(service + L"/installstart");
        return false;
    }
    if (options.m_uninstallService) {
        runCommand(service + L"/uninstall");
        return false;
    }

    trace("Setup logging");
    setupLogging();
    trace("EnsureCurrentUserIsNotLocalSystem");
    if (!EnsureCurrentUserIsNotLocalSystem())
        return false;
    trace("EnsureSingleInstance");
    if (!EnsureSingleInstance())
        return false;

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    InitCommonControlsEx(&controls);

    trace("Initalize Tave Lin Application");
    createApplication();
    runStatusWindow();
    return false;
}

bool CTavelinApp::InitInstance(const std::vector<std::wstring>& arguments)
{
    if (!g_debugLog) {
        std::wstring path = debugLogPath();
        g_debugLog = path.empty() ? nullptr : _wfopen(path.c_str(), L"a");
        if (!g_debugLog) {
            showMessage(L"Failed to open debug.log", MB_OK);
            return false;
        }
    }
    try {
        return startUp(arguments);
    } catch (const Exception& e) {
        trace("Exception");
        std::wstring text = e.toString();
        OutputDebugStringW(text.c_str());
        showMessage(L"An unexpected error occurred during exucution.\n"
                    L"Please contact Ondrivex Technical Support for assistance. [1190002]\n\n" +
                        text,
                    MB_ICONERROR);
        try {
            Event event(1190002, &e, L"Unexpected Exception during InitInstance",
                        TC_AT(L"CTavelinApp::InitInstance"));
            Logger::Log(event);
        } catch (const Exception&) {
        }
    }
    return false;
}
