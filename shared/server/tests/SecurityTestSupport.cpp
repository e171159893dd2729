#include "SecurityTestSupport.h"

#include <cctype>
#include <random>
#include <stdexcept>

#include "shared/server/SecurityDevice.h"

namespace securitytest {

ByteArray fromHex(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    int high = -1;
    for (char c : hex) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        if (v < 0 || v > 15)
            throw std::invalid_argument("bad hex digit");
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return ByteArray(bytes.data(), static_cast<int32_t>(bytes.size()));
}

std::string toHex(const uint8_t* bytes, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
    }
    return out;
}

std::string toHex(const ByteArray& bytes)
{
    return toHex(bytes.getData(), static_cast<size_t>(bytes.getSize()));
}

ByteArray fromText(const std::string& text)
{
    return ByteArray(text.data(), static_cast<int32_t>(text.size()));
}

std::string toText(const ByteArray& bytes)
{
    if (bytes.getSize() <= 0)
        return std::string();
    return std::string(reinterpret_cast<const char*>(bytes.getData()),
                       static_cast<size_t>(bytes.getSize()));
}

ByteArray randomBytes(uint32_t seed, int n)
{
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    for (auto& b : bytes)
        b = static_cast<uint8_t>(generator());
    return ByteArray(bytes.data(), n);
}

} // namespace securitytest

ByteArray* SecurityDeviceTestAccess::encryptByteArray(const ByteArray& data, const ByteArray& key)
{
    return SecurityDevice::encryptByteArray(data, key);
}

ByteArray* SecurityDeviceTestAccess::decryptByteArray(const ByteArray& data, const ByteArray& key)
{
    return SecurityDevice::decryptByteArray(data, key);
}

ByteArray SecurityDeviceTestAccess::assembleStringKey()
{
    return SecurityDevice::assembleStringKey();
}
