#pragma once
// What the fuzz targets behind the envelope's signature share: a session key
// and an envelope sealed under it the way the client seals one, around
// whatever plain bytes the fuzzer gives (zero-padded to whole blocks), so
// that those bytes reach the checks after decryption.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "base/ByteArray.h"
#include "base/Msg.h"
#include "shared/server/CRijndael.h"
#include "shared/server/SecurityConstants.h"
#include "shared/server/SecurityDevice.h"

namespace fuzzing {

const uint8_t SessionKey[16] = {0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87,
                                0x98, 0xa9, 0xba, 0xcb, 0xdc, 0xed, 0xfe, 0x0f};

// An envelope of "EncryptedData" and its "Signature" under key; no type.
inline std::unique_ptr<Msg> sealedEnvelope(const uint8_t* plain, size_t size, const ByteArray& key)
{
    const size_t padded = (size / 16 + 1) * 16;
    std::vector<uint8_t> buffer(padded, 0);
    if (size > 0)
        std::memcpy(buffer.data(), plain, size);
    CRijndael cipher;
    cipher.MakeKey(key.getData(), SecurityConstants::EnvelopeIV, 16, 16);
    cipher.Encrypt(buffer.data(), buffer.data(), padded, CRijndael::CBC);
    ByteArray* encrypted = new ByteArray(buffer.data(), static_cast<int32_t>(padded));
    std::unique_ptr<Msg> envelope(new Msg());
    envelope->setAttributeValue(L"Signature", SecurityDevice::signByteArray(*encrypted, key));
    envelope->setAttributeValue(L"EncryptedData", encrypted);
    return envelope;
}

} // namespace fuzzing
