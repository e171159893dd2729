#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteArray.h"

class Msg;

namespace securitytest {

// "0a1B" -> {0x0a, 0x1b}; whitespace is skipped.
ByteArray fromHex(const std::string& hex);
std::string toHex(const ByteArray& bytes);
std::string toHex(const uint8_t* bytes, size_t n);
ByteArray fromText(const std::string& text);
std::string toText(const ByteArray& bytes);
// Deterministic pseudo-random bytes.
ByteArray randomBytes(uint32_t seed, int n);

} // namespace securitytest

// Reaches SecurityDevice's private building blocks for the tests.
struct SecurityDeviceTestAccess {
    static ByteArray* encryptByteArray(const ByteArray& data, const ByteArray& key);
    static ByteArray* decryptByteArray(const ByteArray& data, const ByteArray& key);
    static ByteArray assembleStringKey();
};
