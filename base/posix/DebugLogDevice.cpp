#include "base/DebugLogDevice.h"

#include <cstdio>

#include "base/Event.h"
#include "base/Tools.h"

void DebugLogDevice::Write(Event& event)
{
    const std::string line = Tools::narrowWideString(event.toString(true));
    std::fwrite(line.data(), 1, line.size(), stderr);
}
