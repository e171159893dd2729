#include "base/DebugLogDevice.h"

#include "base/Event.h"
#include "base/win32/WindowsSupport.h"

void DebugLogDevice::Write(Event& event)
{
    OutputDebugStringW(event.toString(true).c_str());
}
