// The device's handling of what a server sends back, on arbitrary bytes.
// The first byte chooses what the rest is:
//   0: a hello reply, read into the hello results and submit servers;
//   1: a submission's reply, parsed and (for the sealed types) verified and
//      decrypted under the session key, as the worker does;
//   2: the plain bytes inside a correctly sealed UPDATE envelope, which
//      reaches the decryption's length check and the parser behind it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Exception.h"
#include "base/Msg.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "shared/server/CRijndael.h"
#include "shared/server/HelloServerFinder.h"
#include "shared/server/HttpCommDevice.h"
#include "shared/server/SecurityConstants.h"
#include "shared/server/SecurityDevice.h"

namespace {

class ReplyProbe : public HttpCommDevice {
public:
    using HttpCommDevice::HttpCommDevice;
    using HttpCommDevice::decryptMsgIfNecessary;
    using HttpCommDevice::parseResponse;
    void drain()
    {
        while (Msg* msg = popMessage())
            delete msg;
    }
};

const ByteArray& key()
{
    static const ByteArray k("0123456789abcdef", 16);
    return k;
}

ReplyProbe& probe()
{
    static ScriptedDesktop desktop;
    static ManualClock clock;
    static System system(desktop, clock);
    static ReplyProbe device(system, clock, L"fuzz_reply.dat");
    static bool keyed = [] {
        device.setSessionKey(&key());
        return true;
    }();
    (void)keyed;
    return device;
}

// An UPDATE envelope whose encrypted part is the given bytes, zero-padded,
// correctly signed under the key.
std::unique_ptr<Msg> sealedUpdate(const ByteArray& plain)
{
    const size_t size = static_cast<size_t>(plain.getSize());
    const size_t padded = (size / 16 + 1) * 16;
    std::vector<uint8_t> buffer(padded, 0);
    if (size > 0)
        std::memcpy(buffer.data(), plain.getData(), size);
    CRijndael cipher;
    cipher.MakeKey(key().getData(), SecurityConstants::EnvelopeIV, 16, 16);
    cipher.Encrypt(buffer.data(), buffer.data(), padded, CRijndael::CBC);
    ByteArray* encrypted = new ByteArray(buffer.data(), static_cast<int32_t>(padded));
    std::unique_ptr<Msg> envelope(new Msg());
    envelope->setType(Msg::UPDATE);
    envelope->setAttributeValue(L"Signature", SecurityDevice::signByteArray(*encrypted, key()));
    envelope->setAttributeValue(L"EncryptedData", encrypted);
    return envelope;
}

void handleReply(ReplyProbe& device, const ByteArray& bytes)
{
    Msg* reply = device.parseResponse(bytes);
    if (reply && device.decryptMsgIfNecessary(reply))
        delete reply;
    device.drain();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    ReplyProbe& device = probe();
    const ByteArray rest(data + 1, static_cast<int32_t>(size - 1));
    switch (data[0] % 3) {
    case 0: {
        HelloServerFinder::HelloResults results;
        HttpCommDevice::ServerList servers;
        HelloServerFinder::readHelloReply(rest, results, servers);
        break;
    }
    case 1:
        handleReply(device, rest);
        break;
    default: {
        std::unique_ptr<Msg> envelope = sealedUpdate(rest);
        ByteArray wire;
        envelope->toByteArray(wire);
        handleReply(device, wire);
        break;
    }
    }
    return 0;
}
