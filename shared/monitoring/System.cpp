#include "shared/monitoring/System.h"

#include <vector>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/File.h"
#include "base/Logger.h"
#include "shared/monitoring/MonitoringException.h"

System::System(Desktop& desktop, const Clock& clock) : m_desktop(desktop), m_clock(clock)
{
    File::initTempPath(true);
    refresh();
    m_userDetails.getDetails();
    m_machineDetails.getDetails();
}

System::~System() = default;

TopLevelWindow* System::lookUp(native::Window window) const
{
    const auto found = m_windows.find(window);
    return found == m_windows.end() ? nullptr : found->second.get();
}

Application* System::lookUpApplication(const std::wstring& fileName) const
{
    std::lock_guard<std::recursive_mutex> guard(m_applicationsLock);
    const auto found = m_applications.find(FileName(fileName));
    return found == m_applications.end() ? nullptr : found->second.get();
}

const TopLevelWindow* System::findWindow(native::Window window) const
{
    return lookUp(window);
}

const Application* System::findApplication(const wchar_t* fileName) const
{
    return fileName == nullptr ? nullptr : lookUpApplication(fileName);
}

bool System::enumWndCallback(native::Window window, intptr_t param)
{
    System* self = reinterpret_cast<System*>(param);
    if ((self->m_desktop.windowStyle(window) & Desktop::StyleVisible) == 0)
        return true;
    if (TopLevelWindow* known = self->lookUp(window))
        known->setFlag(false);
    else
        self->addWindow(window);
    return true;
}

const TopLevelWindow* System::refresh()
{
    for (auto& entry : m_windows)
        entry.second->setFlag(true);
    // The list is taken whole first: windows may close while it is walked,
    // and nothing is thrown through the system's enumeration.
    std::vector<native::Window> windows;
    m_desktop.topLevelWindows(windows);
    for (native::Window window : windows)
        enumWndCallback(window, reinterpret_cast<intptr_t>(this));
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (it->second->getFlag())
            it = m_windows.erase(it);
        else
            ++it;
    }
    return getActiveWindow();
}

void System::addWindow(native::Window window)
{
    if (lookUp(window) != nullptr)
        return;
    try {
        std::unique_ptr<TopLevelWindow> record(new TopLevelWindow(window, m_desktop, m_clock));
        const std::wstring path = record->getExeFile().getFullPath();
        m_windows[window] = std::move(record);
        if (!exists(path.c_str()))
            addApplication(path.c_str(), -1);
    } catch (const Exception& failure) {
        // Typically the window closed, or its process ended, after it was
        // listed: leave it out and go on with the others.
        m_windows.erase(window);
        Event e(1062202, &failure,
                L"An exception occured while adding window details to our list of windows",
                TC_AT(L"System::addWindow"));
        Logger::Trace(e);
    }
}

const TopLevelWindow* System::getActiveWindow()
{
    native::Window window = m_desktop.foregroundWindow();
    if (window == nullptr)
        window = m_desktop.shellWindow();
    if (window != nullptr && (m_desktop.windowStyle(window) & Desktop::StyleMinimised) != 0)
        window = m_desktop.shellWindow();
    // No window at all is no window to record (and nothing to trace).
    if (window != nullptr && lookUp(window) == nullptr)
        addWindow(window);
    if (TopLevelWindow* found = window == nullptr ? nullptr : lookUp(window))
        return found;
    const native::Window shell = m_desktop.shellWindow();
    return shell == nullptr ? nullptr : lookUp(shell);
}

const Application* System::getActiveApplication()
{
    const TopLevelWindow* window = getActiveWindow();
    if (window == nullptr)
        return nullptr;
    const Application* application = lookUpApplication(window->getExeFile().getFullPath());
    if (application == nullptr) {
        MonitoringException e(1062201, L"Application record could not be found",
                              TC_AT(L"System::getActiveApplication"));
        e.addParameter(window->getExeFile().getFullPath());
        throw e;
    }
    return application;
}

void System::addApplication(const wchar_t* fileName, int id)
{
    if (fileName == nullptr || exists(fileName))
        return;
    // The executable's data is read outside the lock; should the other
    // thread record the same file meanwhile, its record stays.
    std::unique_ptr<Application> application(new Application(fileName));
    application->retrieveApplicationData();
    application->setID(id);
    const FileName key = application->getFileName();
    std::lock_guard<std::recursive_mutex> guard(m_applicationsLock);
    m_applications.emplace(key, std::move(application));
}

size_t System::getApplicationCount() const
{
    std::lock_guard<std::recursive_mutex> guard(m_applicationsLock);
    return m_applications.size();
}

bool System::exists(const wchar_t* fileName) const
{
    return fileName != nullptr && lookUpApplication(fileName) != nullptr;
}

int System::getApplicationID(const wchar_t* fileName) const
{
    std::lock_guard<std::recursive_mutex> guard(m_applicationsLock);
    const Application* application = findApplication(fileName);
    return application == nullptr ? -1 : application->getID();
}

void System::setApplicationID(const wchar_t* fileName, int id)
{
    Application* application = fileName == nullptr ? nullptr : lookUpApplication(fileName);
    if (application == nullptr) {
        MonitoringException e(1062203, L"Application entry could not be found",
                              TC_AT(L"System::setApplicationID"));
        e.addParameter(fileName == nullptr ? std::wstring() : std::wstring(fileName));
        throw e;
    }
    std::lock_guard<std::recursive_mutex> guard(m_applicationsLock);
    application->setID(id);
}

bool System::setContextInfo(native::Window window, const std::wstring& string1,
                            const std::wstring& string2, const std::wstring& string3,
                            TopLevelWindow::PluginInfoQuality quality)
{
    TopLevelWindow* record = lookUp(window);
    if (record == nullptr)
        return false;
    if (record->getParam1() == string1 && record->getParam2() == string2 &&
        record->getParam3() == string3 && record->getPluginInfoQuality() == quality)
        return false;
    if (quality != TopLevelWindow::FirstClass &&
        record->getPluginInfoQuality() == TopLevelWindow::FirstClass)
        return false;
    record->setParams(string1, string2, string3, quality);
    return true;
}

std::wostream& operator<<(std::wostream& out, const System& system)
{
    out << L"System:";
    for (const auto& entry : system.m_windows) {
        out << *entry.second;
        if (const Application* application =
                system.lookUpApplication(entry.second->getExeFile().getFullPath()))
            out << *application;
    }
    return out;
}
