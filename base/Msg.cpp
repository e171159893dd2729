#include "base/Msg.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "base/Exception.h"
#include "base/LittleEndian.h"
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
int64_t wireLength(const std::wstring& text)
{
    return 2 * static_cast<int64_t>(Utf16::unitCount(text));
}

// One element of the wire form as it lies in the buffer.
struct Element {
    int32_t tag;
    const uint8_t* data; // for an integer, its four bytes
    int32_t length;      // the declared byte length
};

// Reads the element at position and moves position past it. Returns false
// at or past the end; throws CommsException 1050606..1050609 on malformed
// data, without moving position.
bool readElement(const ByteArray& in, int32_t& position, Element& element)
{
    const int64_t size = in.getSize();
    if (position >= size)
        return false;
    if (position < 0 || size - position < 8)
        throw CommsException(1050606, L"Insufficient bytes to read element header",
                             TC_AT(L"Msg::getNextElement"));
    const uint8_t* at = in.getData() + position;
    const int32_t tag = LittleEndian::readI32(at);
    const int32_t length = LittleEndian::readI32(at + 4);
    int64_t p = position + 8;
    // A negative length is as impossible to satisfy as one past the end; 64-bit
    // arithmetic keeps position + length from wrapping.
    if (length < 0 || p + length > size)
        throw CommsException(1050607, L"Insufficient bytes to read full element",
                             TC_AT(L"Msg::getNextElement"));
    switch (tag) {
    case Msg::IntegerData:
        // Four bytes whatever the length says: the format has always been
        // read this way, and other readers depend on it.
        if (size - p < 4)
            throw CommsException(1050609, L"Insufficient bytes to read int",
                                 TC_AT(L"Msg::getNextInt"));
        element = Element{tag, in.getData() + p, 4};
        p += 4;
        break;
    case Msg::StringData:
    case Msg::ByteArrayData:
        element = Element{tag, in.getData() + p, length};
        p += length;
        break;
    default:
        throw CommsException(1050608, L"Unknown element type", TC_AT(L"Msg::getNextElement"));
    }
    position = static_cast<int32_t>(p);
    return true;
}

// Code units of a string element; an odd last byte is skipped.
size_t unitsOf(const Element& element)
{
    return static_cast<size_t>(element.length / 2);
}

// How many values of each kind the elements from position on hold, as far as
// they can be read without error: lets the store grow once.
void countValues(const ByteArray& in, int32_t position, size_t counts[4])
{
    const uint8_t* data = in.getData();
    const int64_t size = in.getSize();
    int64_t p = position;
    bool name = true;
    while (size - p >= 8) {
        const int32_t tag = LittleEndian::readI32(data + p);
        const int32_t length = LittleEndian::readI32(data + p + 4);
        if (tag < Msg::IntegerData || tag > Msg::ByteArrayData || length < 0)
            return;
        if (!name)
            ++counts[tag];
        name = !name;
        p += 8 + static_cast<int64_t>(tag == Msg::IntegerData ? 4 : length);
    }
}

} // namespace

bool MsgHeader::read(const uint8_t* data, int64_t size, MsgHeader& header)
{
    if (data == nullptr || size < Size)
        return false;
    header.version = LittleEndian::readI32(data);
    header.length = LittleEndian::readI32(data + 4);
    return true;
}

void MsgHeader::write(uint8_t* out) const
{
    LittleEndian::writeI32(out, version);
    LittleEndian::writeI32(out + 4, length);
}

Msg::Msg()
{
    setType(UNSPECIFIED);
}

Msg::Msg(const Msg& other) : DataStore(other) {}

Msg& Msg::operator=(const Msg& other)
{
    DataStore::operator=(other);
    return *this;
}

Msg::~Msg() = default;

Msg::MsgType Msg::getType() const
{
    int type = UNSPECIFIED;
    getAttributeValue(kTypeAttribute, type);
    return static_cast<MsgType>(type);
}

void Msg::setType(MsgType type)
{
    setAttributeValue(kTypeAttribute, static_cast<int>(type));
}

std::wstring Msg::getTypeName(MsgType type)
{
    int value = static_cast<int>(type);
    if (value >= 0 && value < static_cast<int>(sizeof kTypeNames / sizeof kTypeNames[0]))
        return kTypeNames[value];
    return L"Unknown";
}

bool Msg::isSecure() const
{
    return containsByteArrayAttribute(L"Signature") || containsByteArrayAttribute(L"EncryptedData");
}

int32_t Msg::getSerializedSizeRequirement() const
{
    int64_t elements =
        2 * (static_cast<int64_t>(m_ints.size()) + m_strings.size() + m_byteArrays.size());
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

namespace {

uint8_t* putInt(uint8_t* p, int32_t value)
{
    LittleEndian::writeI32(p, value);
    return p + 4;
}

// A string element; its length is what was written, so that the units are
// counted only once, by getSerializedSizeRequirement.
uint8_t* putString(uint8_t* p, const std::wstring& text)
{
    p = putInt(p, Msg::StringData);
    const size_t bytes = Utf16::writeLE(text, p + 4);
    putInt(p, static_cast<int32_t>(bytes));
    return p + 4 + bytes;
}

} // namespace

void Msg::toByteArray(ByteArray& out) const
{
    out.clear();
    const int32_t size = getSerializedSizeRequirement();
    // At most one allocation: a buffer reused for each message keeps its block.
    if (out.getCapacity() < size)
        out.ensure(size);
    uint8_t* p = out.extend(size);
    MsgHeader{Version, size}.write(p);
    p += MsgHeader::Size;
    for (const auto& [name, value] : m_ints) {
        p = putString(p, name);
        p = putInt(p, IntegerData);
        p = putInt(p, 4);
        p = putInt(p, value);
    }
    for (const auto& [name, value] : m_strings) {
        p = putString(p, name);
        p = putString(p, value);
    }
    for (const auto& [name, value] : m_byteArrays) {
        p = putString(p, name);
        p = putInt(p, ByteArrayData);
        p = putInt(p, value->getSize());
        if (value->getSize() > 0)
            std::memcpy(p, value->getData(), static_cast<size_t>(value->getSize()));
        p += value->getSize();
    }
}

namespace {

void checkVersion(int32_t version)
{
    if (version != Msg::Version)
        throw CommsException(1050601, L"Unsupported Message Version", TC_AT(L"Msg::fromByteArray"));
}

} // namespace

void Msg::fromByteArray(const ByteArray& in)
{
    MsgHeader header;
    if (!MsgHeader::read(in.getData(), in.getSize(), header)) {
        // Too short for a header: fail on the first field that is missing.
        int32_t position = 0;
        checkVersion(getNextInt(in, position));
        getNextInt(in, position);
    }
    checkVersion(header.version);
    if (header.length != in.getSize())
        throw CommsException(1050602, L"Incorrect message length value",
                             TC_AT(L"Msg::fromByteArray"));
    int32_t position = MsgHeader::Size;

    size_t counts[4] = {0, 0, 0, 0};
    countValues(in, position, counts);
    // Most often the names are new (a fresh message) or all there already
    // (a message parsed again); anything else grows as it goes.
    m_ints.reserve(std::max(m_ints.size(), counts[IntegerData]));
    m_strings.reserve(std::max(m_strings.size(), counts[StringData]));
    m_byteArrays.reserve(std::max(m_byteArrays.size(), counts[ByteArrayData]));

    // The wire lists each kind in name order: each name is looked for first
    // just past the previous one, which finds it, or its place, at once.
    size_t hints[4] = {0, 0, 0, 0};
    // Each name is decoded here and moved into the store when it is new, so
    // a new name costs one allocation and a known one none.
    std::wstring name;
    for (;;) {
        Element key, value;
        if (!readElement(in, position, key))
            return;
        if (key.tag != StringData)
            throw CommsException(1050603,
                                 L"Unexpected element data type when parsing Attribute Name",
                                 TC_AT(L"Msg::fromByteArray"));
        if (!readElement(in, position, value))
            throw CommsException(1050604, L"Missing attribute value", TC_AT(L"Msg::fromByteArray"));
        Utf16::readLE(key.data, unitsOf(key), name);
        switch (value.tag) {
        case IntegerData:
            m_ints.slot(std::move(name), hints[IntegerData]) = LittleEndian::readI32(value.data);
            break;
        case StringData:
            Utf16::readLE(value.data, unitsOf(value),
                          m_strings.slot(std::move(name), hints[StringData]));
            break;
        case ByteArrayData: {
            std::unique_ptr<ByteArray> bytes(new ByteArray(value.data, value.length));
            m_byteArrays.slot(std::move(name), hints[ByteArrayData]) = std::move(bytes);
            break;
        }
        default:
            // readElement rejects unknown tags before they get here.
            throw CommsException(1050605, L"Unknown value type when parsing attribute value",
                                 TC_AT(L"Msg::fromByteArray"));
        }
    }
}

bool Msg::getNextElement(const ByteArray& in, int32_t& position, int32_t& intValue,
                         std::wstring& stringValue, ByteArray*& byteArrayValue, DataType& type)
{
    int32_t p = position;
    Element element;
    if (!readElement(in, p, element))
        return false;
    switch (element.tag) {
    case IntegerData:
        intValue = LittleEndian::readI32(element.data);
        break;
    case StringData:
        stringValue = Utf16::readLE(element.data, unitsOf(element));
        break;
    default:
        byteArrayValue = new ByteArray(element.data, element.length);
        break;
    }
    type = static_cast<DataType>(element.tag);
    position = p;
    return true;
}

int32_t Msg::getNextInt(const ByteArray& in, int32_t& position)
{
    if (position < 0 || static_cast<int64_t>(in.getSize()) - position < 4)
        throw CommsException(1050609, L"Insufficient bytes to read int", TC_AT(L"Msg::getNextInt"));
    int32_t value = LittleEndian::readI32(in.getData() + position);
    position += 4;
    return value;
}

void Msg::toString(std::wstring& out) const
{
    out.clear();
    for (const auto& [name, value] : m_ints)
        out += name + L"=" + std::to_wstring(value) + L"\r\n";
    for (const auto& [name, value] : m_strings)
        out += name + L"=" + value + L"\r\n";
    for (const auto& [name, value] : m_byteArrays)
        out += name + L"=" + std::to_wstring(value->getSize()) + L"\r\n";
}

std::wostream& operator<<(std::wostream& out, const Msg& msg)
{
    std::wstring text;
    msg.toString(text);
    return out << text;
}
