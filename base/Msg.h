#pragma once
#include <cstdint>
#include <ostream>
#include <string>

#include "base/ByteArray.h"
#include "base/DataStore.h"
#include "base/TCBaseApi.h"

// The eight bytes that open every wire form: the format version and the
// length of the whole wire form, both 32-bit little-endian. Whoever looks at
// a wire form before parsing it (the channel, the decryption) reads them here.
struct TCBASE_API MsgHeader {
    static constexpr int32_t Size = 8;

    int32_t version = 0;
    int32_t length = 0;

    // False, leaving header untouched, when fewer than Size bytes are given.
    static bool read(const uint8_t* data, int64_t size, MsgHeader& header);
    void write(uint8_t* out) const;
};

// A message: a DataStore whose type is the integer attribute "MsgType".
// Messages are handed between components as heap objects; whoever holds the
// pointer owns the message.
//
// Wire form (all integers 32-bit little-endian): version 1, total length,
// then for every attribute a string element with its name and an element
// with its value. Elements are a tag (DataType), a byte length and the data.
// Integers come first, then strings, then byte arrays, each in name order.
class TCBASE_API Msg : public DataStore {
public:
    enum MsgType {
        UNSPECIFIED = 0,
        ERROR_MSG = 1,
        SYSTEM_STATE_CHANGE = 2,
        APPLICATION_CHANGE = 3,
        ACKNOWLEDGEMENT = 4,
        UPDATE = 5,
        CHALLENGE_REQUEST = 6,
        CHALLENGE_RESPONSE = 7,
        AUTHENTICATION_REQUEST = 8,
        AUTHENTICATION_RESPONSE = 9,
        USER_INFO_UPDATE = 10,
        SYSTEM_EVENT = 11,
        PLUGIN_INFO = 12,
        SYSTEM_CHANGE_SERVICE = 13,
        HTTP_COMM_DEVICE = 14,
        CONNECTION_STATUS_CHANGE = 15,
        AUTO_ENROLL_REQUEST = 16,
        AUTO_ENROLL_RESPONSE = 17,
        CLIENT_PROFILE_REQUEST = 18,
        CLIENT_PROFILE_RESPONSE = 19,
        CLIENT_PROFILE_CHANGE = 20,
    };

    // Element tags on the wire.
    enum DataType { IntegerData = 1, StringData = 2, ByteArrayData = 3 };

    static const int32_t Version = 1;

    Msg(); // type UNSPECIFIED, so every message carries "MsgType"
    Msg(const Msg& other);
    // Clears, then copies; assigning a message to itself changes nothing.
    Msg& operator=(const Msg& other);
    ~Msg() override;

    // "MsgType", or UNSPECIFIED when the attribute is absent.
    MsgType getType() const;
    void setType(MsgType type);
    // The type's name, "Unknown" for values without one. Names exist for 0 to
    // 14 only; later types were added without one and read "Unknown" in logs.
    static std::wstring getTypeName(MsgType type);

    // True when the message carries a byte-array "Signature" or "EncryptedData".
    bool isSecure() const;

    // Exact size of the wire form. Throws std::bad_alloc when the message
    // would not fit the 32-bit length field.
    int32_t getSerializedSizeRequirement() const;
    // Replaces out's content with the wire form.
    void toByteArray(ByteArray& out) const;
    // Adds the attributes in the wire form in to this message, replacing
    // those of the same name and kind. Throws CommsException 1050601..1050609
    // on malformed data; attributes parsed before the fault stay added.
    void fromByteArray(const ByteArray& in);

    // Reads the element at position. Returns false when position is at or
    // past the end. Otherwise fills the output matching the tag (for a byte
    // array a new object the caller owns), sets type and advances position.
    // Throws CommsException 1050606..1050609; outputs are untouched then.
    static bool getNextElement(const ByteArray& in, int32_t& position, int32_t& intValue,
                               std::wstring& stringValue, ByteArray*& byteArrayValue,
                               DataType& type);
    // The little-endian integer at position; advances position by 4.
    // Throws CommsException 1050609 when fewer than 4 bytes remain.
    static int32_t getNextInt(const ByteArray& in, int32_t& position);

    // One "name=value" line per attribute, CR LF ended: integers, then
    // strings, then byte arrays (shown by their size), each in name order.
    void toString(std::wstring& out) const;
};

TCBASE_API std::wostream& operator<<(std::wostream& out, const Msg& msg);
