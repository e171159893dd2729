#include "base/Msg.h"

#include <limits>
#include <memory>
#include <new>

#include "base/Exception.h"
#include "base/Utf16.h"

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
const int32_t Msg::Version;

namespace {

const wchar_t* const kTypeAttribute = L"MsgType";

const wchar_t* const kTypeNames[] = {
    L"UNSPECIFIED",
    L"ERROR_MSG",
    L"SYSTEM_STATE_CHANGE",
    L"APPLICATION_CHANGE",
    L"ACKNOWLEDGEMENT",
    L"UPDATE",
    L"CHALLENGE_REQUEST",
    L"CHALLENGE_RESPONSE",
    L"AUTHENTICATION_REQUEST",
    L"AUTHENTICATION_RESPONSE",
    L"USER_INFO_UPDATE",
    L"SYSTEM_EVENT",
    L"PLUGIN_INFO",
    L"SYSTEM_CHANGE_SERVICE",
    L"HTTP_COMM_DEVICE",
};

// Byte length of a text on the wire.
int64_t wireLength(const std::wstring& text) {
    return 2 * static_cast<int64_t>(Utf16::unitCount(text));
}

void appendString(ByteArray& out, const std::wstring& text) {
    out += static_cast<int>(Msg::StringData);
    out += static_cast<int>(wireLength(text));
    out += text;
}

int32_t readInt(const uint8_t* p) {
    uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                 (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    return static_cast<int32_t>(v);
}

} // namespace

Msg::Msg() { setType(UNSPECIFIED); }

Msg::Msg(const Msg& other) : DataStore(other) {}

Msg& Msg::operator=(const Msg& other) {
    DataStore::operator=(other);
    return *this;
}

Msg::~Msg() = default;

Msg::MsgType Msg::getType() const {
    int type = UNSPECIFIED;
    getAttributeValue(kTypeAttribute, type);
    return static_cast<MsgType>(type);
}

void Msg::setType(MsgType type) { setAttributeValue(kTypeAttribute, static_cast<int>(type)); }

std::wstring Msg::getTypeName(MsgType type) {
    int value = static_cast<int>(type);
    if (value >= 0 && value < static_cast<int>(sizeof kTypeNames / sizeof kTypeNames[0]))
        return kTypeNames[value];
    return L"Unknown";
}

bool Msg::isSecure() const {
    return containsByteArrayAttribute(L"Signature") ||
           containsByteArrayAttribute(L"EncryptedData");
}

int32_t Msg::getSerializedSizeRequirement() const {
    int64_t elements = 2 * (static_cast<int64_t>(m_ints.size()) + m_strings.size() +
                            m_byteArrays.size());
    int64_t size = 8 + 8 * elements + 4 * static_cast<int64_t>(m_ints.size());
    for (const auto& entry : m_ints)
        size += wireLength(entry.first);
    for (const auto& entry : m_strings)
        size += wireLength(entry.first) + wireLength(entry.second);
    for (const auto& entry : m_byteArrays)
        size += wireLength(entry.first) + entry.second->getSize();
    if (size > std::numeric_limits<int32_t>::max())
        throw std::bad_alloc();
    return static_cast<int32_t>(size);
}

void Msg::toByteArray(ByteArray& out) const {
    out.clear();
    int32_t size = getSerializedSizeRequirement();
    // At most one allocation: every append below fits the reservation, and
    // a buffer reused for each message keeps its block.
    if (out.getCapacity() < size)
        out.ensure(size);
    out += Version;
    out += size;
    for (const auto& [name, value] : m_ints) {
        appendString(out, name);
        out += static_cast<int>(IntegerData);
        out += 4;
        out += static_cast<int>(value);
    }
    for (const auto& [name, value] : m_strings) {
        appendString(out, name);
        appendString(out, value);
    }
    for (const auto& [name, value] : m_byteArrays) {
        appendString(out, name);
        out += static_cast<int>(ByteArrayData);
        out += static_cast<int>(value->getSize());
        out += *value;
    }
}

void Msg::fromByteArray(const ByteArray& in) {
    int32_t position = 0;
    if (getNextInt(in, position) != Version)
        throw CommsException(1050601, L"Unsupported Message Version", TC_AT(L"Msg::fromByteArray"));
    if (getNextInt(in, position) != in.getSize())
        throw CommsException(1050602, L"Incorrect message length value",
                             TC_AT(L"Msg::fromByteArray"));
    for (;;) {
        int32_t intValue = 0;
        std::wstring name;
        ByteArray* raw = nullptr;
        DataType type = IntegerData;
        if (!getNextElement(in, position, intValue, name, raw, type))
            return;
        std::unique_ptr<ByteArray> unexpected(raw); // a byte array where a name belongs
        if (type != StringData)
            throw CommsException(1050603,
                                 L"Unexpected element data type when parsing Attribute Name",
                                 TC_AT(L"Msg::fromByteArray"));

        std::wstring stringValue;
        raw = nullptr;
        if (!getNextElement(in, position, intValue, stringValue, raw, type))
            throw CommsException(1050604, L"Missing attribute value",
                                 TC_AT(L"Msg::fromByteArray"));
        std::unique_ptr<ByteArray> byteArrayValue(raw);
        switch (type) {
        case IntegerData:
            setAttributeValue(name, static_cast<int>(intValue));
            break;
        case StringData:
            setAttributeValue(name, stringValue);
            break;
        case ByteArrayData:
            setAttributeValue(name, byteArrayValue.release());
            break;
        default:
            // getNextElement rejects unknown tags before they get here.
            throw CommsException(1050605, L"Unknown value type when parsing attribute value",
                                 TC_AT(L"Msg::fromByteArray"));
        }
    }
}

bool Msg::getNextElement(const ByteArray& in, int32_t& position, int32_t& intValue,
                         std::wstring& stringValue, ByteArray*& byteArrayValue, DataType& type) {
    const int64_t size = in.getSize();
    if (position >= size)
        return false;
    if (position < 0 || size - position < 8)
        throw CommsException(1050606, L"Insufficient bytes to read element header",
                             TC_AT(L"Msg::getNextElement"));
    int32_t p = position;
    const int32_t tag = getNextInt(in, p);
    const int32_t length = getNextInt(in, p);
    // A negative length is as impossible to satisfy as one past the end; 64-bit
    // arithmetic keeps position + length from wrapping.
    if (length < 0 || p + static_cast<int64_t>(length) > size)
        throw CommsException(1050607, L"Insufficient bytes to read full element",
                             TC_AT(L"Msg::getNextElement"));
    switch (tag) {
    case IntegerData:
        // Four bytes whatever the length says: the format has always been
        // read this way, and other readers depend on it.
        intValue = getNextInt(in, p);
        break;
    case StringData:
        // An odd last byte is skipped.
        stringValue = Utf16::readLE(in.getData() + p, static_cast<size_t>(length / 2));
        p += length;
        break;
    case ByteArrayData:
        byteArrayValue = new ByteArray(in.getData() + p, length);
        p += length;
        break;
    default:
        throw CommsException(1050608, L"Unknown element type", TC_AT(L"Msg::getNextElement"));
    }
    type = static_cast<DataType>(tag);
    position = p;
    return true;
}

int32_t Msg::getNextInt(const ByteArray& in, int32_t& position) {
    if (position < 0 || static_cast<int64_t>(in.getSize()) - position < 4)
        throw CommsException(1050609, L"Insufficient bytes to read int", TC_AT(L"Msg::getNextInt"));
    int32_t value = readInt(in.getData() + position);
    position += 4;
    return value;
}

void Msg::toString(std::wstring& out) const {
    out.clear();
    for (const auto& [name, value] : m_ints)
        out += name + L"=" + std::to_wstring(value) + L"\r\n";
    for (const auto& [name, value] : m_strings)
        out += name + L"=" + value + L"\r\n";
    for (const auto& [name, value] : m_byteArrays)
        out += name + L"=" + std::to_wstring(value->getSize()) + L"\r\n";
}

std::wostream& operator<<(std::wostream& out, const Msg& msg) {
    std::wstring text;
    msg.toString(text);
    return out << text;
}
