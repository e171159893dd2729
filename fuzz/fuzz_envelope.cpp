// verifyAndDecryptMsg on arbitrary envelopes. The first byte chooses what
// the rest is:
//   even: the wire form of the envelope itself, as it could arrive;
//   odd:  the plain bytes inside a correctly signed and encrypted envelope,
//         which reaches the length check and the parser behind the signature.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/Exception.h"
#include "base/Msg.h"
#include "fuzz/SealedEnvelope.h"
#include "shared/server/SecurityDevice.h"

using fuzzing::sealedEnvelope;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    const ByteArray key(fuzzing::SessionKey, sizeof fuzzing::SessionKey);
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
