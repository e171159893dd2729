#include "base/EventLogDevice.h"

#include <syslog.h>

#include "base/Event.h"
#include "base/Tools.h"

void EventLogDevice::Write(Event& event)
{
    int priority = LOG_ERR;
    if (event.getType() == Event::Info)
        priority = LOG_INFO;
    else if (event.getType() == Event::Warning)
        priority = LOG_WARNING;
    const std::string source = Tools::narrowWideString(m_source);
    const std::string text = Tools::narrowWideString(event.toString(false));
    syslog(LOG_USER | priority, "%s: %u %s", source.c_str(), event.getID(), text.c_str());
}
