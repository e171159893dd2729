// verifyAndDecryptMsg on arbitrary envelopes. The first byte chooses what
// the rest is:
//   even: the wire form of the envelope itself, as it could arrive;
//   odd:  the plain bytes inside a correctly signed and encrypted envelope,
//         which reaches the length check and the parser behind the signature.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Exception.h"
#include "base/Msg.h"
#include "shared/server/CRijndael.h"
#include "shared/server/SecurityConstants.h"
#include "shared/server/SecurityDevice.h"

namespace {

const uint8_t Key[16] = {0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87,
                         0x98, 0xa9, 0xba, 0xcb, 0xdc, 0xed, 0xfe, 0x0f};

std::unique_ptr<Msg> sealedEnvelope(const uint8_t* plain, size_t size, const ByteArray& key)
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    const ByteArray key(Key, sizeof Key);
    std::unique_ptr<Msg> envelope;
    try {
        if (data[0] % 2 == 0) {
            envelope.reset(new Msg());
            envelope->fromByteArray(ByteArray(data + 1, static_cast<int32_t>(size - 1)));
        } else {
            envelope = sealedEnvelope(data + 1, size - 1, key);
        }
    } catch (const Exception&) {
        return 0;
    }

    try {
        std::unique_ptr<Msg> plain(SecurityDevice::verifyAndDecryptMsg(*envelope, key));
        // What was accepted must serialise and read back the same.
        ByteArray wire, again;
        plain->toByteArray(wire);
        Msg copy;
        copy.fromByteArray(wire);
        copy.toByteArray(again);
        if (!(wire == again))
            __builtin_trap();
    } catch (const Exception&) {
    }
    return 0;
}
