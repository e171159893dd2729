#include "client/GUILogDevice.h"

#include "base/Event.h"

void GUILogDevice::Setup()
{
    if (!m_mutex.isInitialised())
        m_mutex.initialise();
}

void GUILogDevice::Write(Event& event)
{
    std::wstring text = event.toString(true);
    // The logger sets its devices up before writing; a device used on its own
    // sets itself up here rather than throwing from a log call.
    Setup();
    AutoMutex hold(m_mutex);
    m_lines.push_back(std::move(text));
}

bool GUILogDevice::getNextLogLine(std::wstring& line)
{
    if (!m_mutex.isInitialised())
        return false;
    AutoMutex hold(m_mutex);
    if (m_lines.empty())
        return false;
    line = std::move(m_lines.front());
    m_lines.pop_front();
    return true;
}
