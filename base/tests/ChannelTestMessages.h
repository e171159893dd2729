#pragma once
// Messages that the channel tests and their writer helper agree on.
#include <cstdint>
#include <memory>
#include <string>

#include "base/ByteArray.h"
#include "base/Msg.h"

namespace channeltest {

// A PLUGIN_INFO report as an add-in sends it, numbered by seq and marked
// with the writer's tag.
inline std::unique_ptr<Msg> makeReport(const std::wstring& writer, int seq)
{
    std::unique_ptr<Msg> msg(new Msg);
    msg->setType(Msg::PLUGIN_INFO);
    msg->setAttributeValue(L"Seq", seq);
    msg->setAttributeValue(L"Writer", writer);
    msg->setAttributeValue(L"HWND", 0x000A01C4);
    msg->setAttributeValue(L"ContextString1",
                           std::wstring(L"C:\\Users\\jsmith\\Documents\\Quarterly report.docx"));
    msg->setAttributeValue(L"ContextString2", std::wstring(L"Quarterly report.docx"));
    msg->setAttributeValue(L"ContextString3", std::wstring(L"Unspecified"));
    msg->setAttributeValue(L"PluginInfoQuality", std::wstring(L"FirstClass"));
    return msg;
}

// The byte at index i of a padding array; not periodic in any small period.
inline uint8_t padByte(int32_t i)
{
    return static_cast<uint8_t>((i * 131 + (i >> 8) * 7) & 0xFF);
}

// A report whose wire form is exactly size bytes (at least the size of a
// report with an empty "Pad" array), padded by a byte array "Pad".
inline std::unique_ptr<Msg> makeReportOfSize(const std::wstring& writer, int seq, int32_t size)
{
    std::unique_ptr<Msg> msg = makeReport(writer, seq);
    msg->setAttributeValue(L"Pad", new ByteArray());
    const int32_t bare = msg->getSerializedSizeRequirement();
    const int32_t padding = size > bare ? size - bare : 0;
    auto* pad = new ByteArray();
    uint8_t* data = pad->getBuffer(padding);
    for (int32_t i = 0; i < padding; ++i)
        data[i] = padByte(i);
    msg->setAttributeValue(L"Pad", pad);
    return msg;
}

} // namespace channeltest
