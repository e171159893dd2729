#include "shared/monitoring/ScriptedDesktop.h"

#include <algorithm>

#include "base/Utf16.h"

const wchar_t* const ScriptedDesktop::DefaultDesktopName = L"Default";

ScriptedDesktop::ScriptedDesktop() : m_clock(&Clock::system()), m_inputName(DefaultDesktopName) {}
ScriptedDesktop::~ScriptedDesktop() = default;

void ScriptedDesktop::startProcess(uint32_t processId, const std::wstring& path)
{
    Process& process = m_processes[processId];
    process = Process();
    process.path = path;
}

void ScriptedDesktop::endProcess(uint32_t processId)
{
    m_processes.erase(processId);
    std::vector<native::Window> closing;
    for (const auto& entry : m_windows)
        if (entry.second.processId == processId)
            closing.push_back(entry.first);
    for (native::Window window : closing)
        closeWindow(window);
}

void ScriptedDesktop::setModuleLookup(uint32_t processId, PathLookup status, unsigned long error)
{
    m_processes[processId].module = PathResult{status, error};
}

void ScriptedDesktop::setImageLookup(uint32_t processId, PathLookup status, unsigned long error)
{
    m_processes[processId].image = PathResult{status, error};
}

native::Window ScriptedDesktop::openWindow(uint32_t processId, const std::wstring& title,
                                           uint32_t style)
{
    // Handles are never reused, as on a real desktop within a short span.
    const native::Window handle = reinterpret_cast<native::Window>(m_nextHandle);
    m_nextHandle += 4;
    Window window;
    window.processId = processId;
    window.title = title;
    window.style = style;
    m_windows.emplace_back(handle, window);
    return handle;
}

void ScriptedDesktop::closeWindow(native::Window window)
{
    m_windows.erase(std::remove_if(m_windows.begin(), m_windows.end(),
                                   [window](const std::pair<native::Window, Window>& entry) {
                                       return entry.first == window;
                                   }),
                    m_windows.end());
    // A closed window is no longer the foreground; the real desktop then has
    // no foreground window until another is activated.
    if (m_foreground == window)
        m_foreground = nullptr;
    if (m_shell == window)
        m_shell = nullptr;
}

ScriptedDesktop::Window* ScriptedDesktop::find(native::Window window)
{
    for (auto& entry : m_windows)
        if (entry.first == window)
            return &entry.second;
    return nullptr;
}

void ScriptedDesktop::setTitle(native::Window window, const std::wstring& title)
{
    if (Window* w = find(window)) {
        w->title = title;
        w->textError = 0;
    }
}

void ScriptedDesktop::makeTitleUnreadable(native::Window window, unsigned long error)
{
    if (Window* w = find(window))
        w->textError = error;
}

void ScriptedDesktop::setStyle(native::Window window, uint32_t style)
{
    if (Window* w = find(window))
        w->style = style;
}

void ScriptedDesktop::setVisible(native::Window window, bool visible)
{
    if (Window* w = find(window))
        w->style = visible ? (w->style | StyleVisible) : (w->style & ~StyleVisible);
}

void ScriptedDesktop::setMinimised(native::Window window, bool minimised)
{
    if (Window* w = find(window))
        w->style = minimised ? (w->style | StyleMinimised) : (w->style & ~StyleMinimised);
}

native::Window ScriptedDesktop::foregroundWindow()
{
    return m_foreground;
}

native::Window ScriptedDesktop::shellWindow()
{
    return m_shell;
}

void ScriptedDesktop::topLevelWindows(std::vector<native::Window>& windows)
{
    windows.clear();
    for (const auto& entry : m_windows)
        windows.push_back(entry.first);
    if (m_afterEnumeration) {
        std::function<void()> change = std::move(m_afterEnumeration);
        m_afterEnumeration = nullptr;
        change();
    }
}

uint32_t ScriptedDesktop::windowStyle(native::Window window)
{
    const Window* w = find(window);
    return w == nullptr ? 0 : w->style;
}

uint32_t ScriptedDesktop::windowProcessId(native::Window window, unsigned long& error)
{
    const Window* w = find(window);
    if (w == nullptr) {
        error = ErrorInvalidWindowHandle;
        return 0;
    }
    error = 0;
    return w->processId;
}

ScriptedDesktop::PathResult ScriptedDesktop::lookup(uint32_t processId, PathResult Process::*way,
                                                    std::wstring& path)
{
    ++m_pathReads;
    const auto found = m_processes.find(processId);
    if (found == m_processes.end() || found->second.path.empty())
        return PathResult{PathLookup::OpenFailed, ErrorInvalidParameter};
    const PathResult result = found->second.*way;
    if (result.status == PathLookup::Found)
        path = found->second.path;
    return result;
}

ScriptedDesktop::PathResult ScriptedDesktop::modulePath(uint32_t processId, std::wstring& path)
{
    return lookup(processId, &Process::module, path);
}

ScriptedDesktop::PathResult ScriptedDesktop::imagePath(uint32_t processId, std::wstring& path)
{
    return lookup(processId, &Process::image, path);
}

bool ScriptedDesktop::windowText(native::Window window, size_t bufferUnits, std::wstring& text,
                                 unsigned long& error)
{
    ++m_textReads;
    const Window* w = find(window);
    if (w == nullptr) {
        error = ErrorInvalidWindowHandle;
        return false;
    }
    if (w->textError != 0) {
        error = w->textError;
        return false;
    }
    error = 0;
    // Cut in UTF-16 code units as the system's call does, even natively.
    std::u16string units = Utf16::toUnits(w->title);
    const size_t room = bufferUnits == 0 ? 0 : bufferUnits - 1;
    if (units.size() > room)
        units.resize(room);
    text = Utf16::fromUnits(units);
    return true;
}

uint32_t ScriptedDesktop::tickCount()
{
    return m_clock->tickCount();
}

void ScriptedDesktop::userInput()
{
    setLastInputTick(m_clock->tickCount());
}

void ScriptedDesktop::setLastInputTick(uint32_t tick)
{
    m_inputScripted = true;
    m_lastInput = tick;
    m_lastInputError = 0;
}

void ScriptedDesktop::failLastInput(unsigned long error)
{
    m_lastInputError = error;
}

bool ScriptedDesktop::lastInputTick(uint32_t& tick, unsigned long& error)
{
    if (m_lastInputError != 0) {
        error = m_lastInputError;
        return false;
    }
    error = 0;
    tick = m_inputScripted ? m_lastInput : m_clock->tickCount();
    return true;
}

void ScriptedDesktop::setInputDesktop(DesktopAccess access, unsigned long error,
                                      const std::wstring& name)
{
    m_inputAccess = access;
    m_inputError = access == DesktopAccess::Readable ? 0 : error;
    m_inputName = name;
}

ScriptedDesktop::DesktopAccess ScriptedDesktop::inputDesktop(size_t nameBufferBytes,
                                                             std::wstring& name,
                                                             unsigned long& error)
{
    ++m_inputDesktopReads;
    error = m_inputError;
    if (m_inputAccess != DesktopAccess::Readable)
        return m_inputAccess;
    // The name and its terminating null must fit the buffer, in UTF-16.
    const size_t needed = (Utf16::toUnits(m_inputName).size() + 1) * 2;
    if (needed > nameBufferBytes) {
        error = 122; // ERROR_INSUFFICIENT_BUFFER
        return DesktopAccess::NameFailed;
    }
    name = m_inputName;
    return DesktopAccess::Readable;
}

bool ScriptedDesktop::openDesktop(const std::wstring& name, unsigned long& error)
{
    const auto found = m_desktops.find(name);
    error = found == m_desktops.end() ? ErrorFileNotFound : found->second;
    return error == 0;
}
