#pragma once
// What the status updates' tests share: a device standing in for the Http
// mechanism that keeps every message handed to it, and readers for the
// attributes of a message.
#include <memory>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "base/CommunicationDevice.h"
#include "base/Msg.h"

namespace statustest {

// Takes what the framework sends on the Http mechanism and keeps it; sends
// nothing anywhere and receives nothing.
class RecordingHttpDevice : public CommunicationDevice {
public:
    ~RecordingHttpDevice() override { terminate(Infinite); }
    bool setup() override { return true; }
    bool canSendMsgs() override { return true; }
    bool canReceiveMsgs() override { return false; }
    CommMechanism getCommType() override { return Http; }

    // Every message handed over since the last call, oldest first.
    std::vector<Msg> takeSent()
    {
        std::vector<Msg> sent;
        while (Msg* msg = popMessage(m_outQ, m_outLock)) {
            sent.push_back(*msg);
            delete msg;
        }
        return sent;
    }
};

inline std::wstring text(const Msg& msg, const wchar_t* name)
{
    std::wstring value = L"<missing>";
    msg.getAttributeValue(name, value);
    return value;
}

inline int number(const Msg& msg, const wchar_t* name)
{
    int value = -12345;
    msg.getAttributeValue(name, value);
    return value;
}

// The byte array's bytes; empty when absent.
inline std::vector<uint8_t> bytes(const Msg& msg, const wchar_t* name)
{
    ByteArray* value = nullptr;
    if (!msg.getAttributeValue(name, value) || value == nullptr)
        return {};
    return std::vector<uint8_t>(value->getData(), value->getData() + value->getSize());
}

// The names of the message's attributes of each kind, in name order, read
// from its listing (whose values here hold no line ends).
struct Names {
    std::vector<std::wstring> integers, strings, arrays;
};
inline Names names(const Msg& msg)
{
    std::wstring listing;
    msg.toString(listing);
    std::vector<std::wstring> all;
    for (size_t at = 0; at < listing.size();) {
        const size_t end = listing.find(L"\r\n", at);
        const std::wstring line = listing.substr(at, end - at);
        all.push_back(line.substr(0, line.find(L'=')));
        at = end == std::wstring::npos ? listing.size() : end + 2;
    }
    Names names;
    const size_t ints = static_cast<size_t>(msg.getIntAttributeCount());
    const size_t strings = static_cast<size_t>(msg.getStringAttributeCount());
    for (size_t i = 0; i < all.size(); ++i)
        (i < ints             ? names.integers
         : i < ints + strings ? names.strings
                              : names.arrays)
            .push_back(all[i]);
    return names;
}

} // namespace statustest
