#include "base/FileLogDevice.h"

#include "base/ByteArray.h"
#include "base/Event.h"

void FileLogDevice::Write(Event& event)
{
    if (m_path.empty())
        return;
    // The wide-string form of ByteArray is UTF-16LE on every build.
    const ByteArray line(event.toString(true));
    appendExclusive(m_path, line.getData(), static_cast<size_t>(line.getSize()));
}
