#include "shared/monitoring/TopLevelWindow.h"

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Tools.h"

namespace {

bool isHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

void traceLookup(uint32_t id, const wchar_t* text, const wchar_t* function, uint32_t processId,
                 unsigned long error)
{
    Event e(id, text, TC_AT(function));
    e.addDetails(L"ProcessID", static_cast<long long>(processId));
    Tools::setLastSystemError(error);
    e.addSystemErrorInfo();
    Logger::Trace(e);
}

} // namespace

TopLevelWindow::TopLevelWindow(native::Window window, Desktop& desktop, const Clock& clock)
    : m_desktop(desktop), m_window(window), m_clicker(clock)
{
    unsigned long error = 0;
    m_processId = m_desktop.windowProcessId(window, error);
    if (m_processId == 0) {
        SystemException e(1062401, L"Unable to get windows process ID",
                          TC_AT(L"TopLevelWindow::TopLevelWindow"));
        e.addParameter(static_cast<int>(m_processId));
        e.addErrorInfo(error);
        throw e;
    }
    std::wstring path = getExePathFromProcessID1(m_processId);
    if (path.empty())
        path = getExePathFromProcessID2(m_processId);
    if (path.empty()) {
        SystemException e(1062402, L"Unable to get executable name from process ID",
                          TC_AT(L"TopLevelWindow::TopLevelWindow"));
        e.addParameter(static_cast<int>(m_processId));
        e.addSystemErrorInfo();
        throw e;
    }
    m_exeFileName = FileName(path);
}

TopLevelWindow::~TopLevelWindow() = default;

std::wstring TopLevelWindow::getExePathFromProcessID1(uint32_t processId)
{
    static const wchar_t* const Function = L"TopLevelWindow::getExePathFromProcessID1";
    std::wstring path;
    const Desktop::PathResult result = m_desktop.modulePath(processId, path);
    switch (result.status) {
    case Desktop::PathLookup::Found:
        return path;
    case Desktop::PathLookup::OpenDenied:
        traceLookup(1062403, L"Insufficient priviledges to open handle to window's process",
                    Function, processId, result.error);
        break;
    case Desktop::PathLookup::OpenFailed:
        traceLookup(1062404, L"Unable to open handle to window's process", Function, processId,
                    result.error);
        break;
    default:
        traceLookup(1062405, L"Unable to get window's application file name", Function, processId,
                    result.error);
        break;
    }
    Tools::setLastSystemError(result.error);
    return std::wstring();
}

std::wstring TopLevelWindow::getExePathFromProcessID2(uint32_t processId)
{
    static const wchar_t* const Function = L"TopLevelWindow::getExePathFromProcessID2";
    std::wstring path;
    const Desktop::PathResult result = m_desktop.imagePath(processId, path);
    switch (result.status) {
    case Desktop::PathLookup::Found:
        return path;
    case Desktop::PathLookup::NoLibrary:
        traceLookup(1062406, L"Unable to load Kernel32.dll", Function, processId, result.error);
        break;
    case Desktop::PathLookup::NoFunction:
        traceLookup(1062407, L"Unable to access function QueryFullProcessImageName", Function,
                    processId, result.error);
        break;
    case Desktop::PathLookup::OpenDenied:
        traceLookup(1062408, L"Insufficient priviledges to open limited handle to window's process",
                    Function, processId, result.error);
        break;
    case Desktop::PathLookup::OpenFailed:
        traceLookup(1062409, L"Unable to open limited handle to window's process", Function,
                    processId, result.error);
        break;
    case Desktop::PathLookup::ReadFailed:
        traceLookup(1062410, L"Unable to get window's application file name 2", Function, processId,
                    result.error);
        break;
    }
    Tools::setLastSystemError(result.error);
    return std::wstring();
}

bool TopLevelWindow::isContextInfoPermitted(PluginInfoQuality quality)
{
    if (quality == FirstClass)
        return true;
    if (!m_contextInfoPermitted)
        return false;
    int perMinute = 0;
    int perTenMinutes = 0;
    int perHour = 0;
    m_clicker.getClickCounts(perMinute, perTenMinutes, perHour);
    if (!(perMinute < MaxReportsPerMinute && perTenMinutes < MaxReportsPerTenMinutes &&
          perHour < MaxReportsPerHour))
        m_contextInfoPermitted = false;
    return m_contextInfoPermitted;
}

void TopLevelWindow::setParams(const std::wstring& string1, const std::wstring& string2,
                               const std::wstring& string3, PluginInfoQuality quality)
{
    if (isContextInfoPermitted(quality)) {
        m_param1 = string1;
        m_param2 = string2;
    }
    m_param3 = string3;
    m_quality = quality;
    if (m_contextInfoPermitted && quality != FirstClass)
        m_clicker.click();
}

std::wstring TopLevelWindow::getTitleBarText() const
{
    std::wstring text;
    unsigned long error = 0;
    const bool read = m_desktop.windowText(m_window, TitleBufferUnits, text, error);
    if (!read)
        text.clear();
    // A text that filled the buffer was cut; a high surrogate left at the
    // end has lost its partner and would decode as garbage downstream.
    if (read && text.size() == TitleBufferUnits - 1 && isHighSurrogate(text.back()))
        text.pop_back();
    if (text.empty() && !m_titleErrorReported) {
        m_titleErrorReported = true;
        Event e(1062411, L"GetWindowText failed while getting titlebar text",
                TC_AT(L"TopLevelWindow::getTitleBarText"));
        e.addDetails(L"Application", m_exeFileName.getFullPath());
        e.addDetails(L"HWND", Exception::hexText(reinterpret_cast<uintptr_t>(m_window)));
        Tools::setLastSystemError(error);
        e.addSystemErrorInfo();
        Logger::Trace(e);
    }
    return text;
}

TopLevelWindow::PluginInfoQuality TopLevelWindow::ConvertToPluginInfoQuality(
    const std::wstring& text)
{
    if (text == L"FirstClass")
        return FirstClass;
    if (text == L"SecondClass")
        return SecondClass;
    if (text == L"ThirdClass")
        return ThirdClass;
    return FourthClass;
}

std::wstring TopLevelWindow::qualityText(PluginInfoQuality quality)
{
    switch (quality) {
    case FirstClass:
        return L"FirstClass";
    case SecondClass:
        return L"SecondClass";
    case ThirdClass:
        return L"ThirdClass";
    default:
        return L"FourthClass";
    }
}

std::wostream& operator<<(std::wostream& out, const TopLevelWindow& window)
{
    out << L"    Window:" << L"\n        HWND:      "
        << Exception::hexText(reinterpret_cast<uintptr_t>(window.getHWND()))
        << L"\n        Proc ID:   " << window.getProcessID() << L"\n        Filename:  "
        << window.getExeFileName() << L"\n";
    return out;
}
