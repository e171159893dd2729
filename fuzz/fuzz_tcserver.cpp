// The reference server's handling of a submission (TcServer::submit) on
// arbitrary bodies. The first byte chooses what the rest is:
//   even: the body as it could arrive (a plain message, an envelope, noise);
//   odd:  the plain bytes inside an envelope correctly signed and encrypted
//         under a logged-on user's session key, of the type the second byte
//         picks, which reaches the status, user-details, profile and
//         enrollment handling behind the signature.
// Every body must get exactly one reply that is itself a message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Exception.h"
#include "base/Msg.h"
#include "shared/server/CRijndael.h"
#include "shared/server/SecurityConstants.h"
#include "shared/server/SecurityDevice.h"
#include "tools/tcserver/posix/Faults.h"
#include "tools/tcserver/posix/ServerDatabase.h"
#include "tools/tcserver/posix/TcServer.h"

namespace {

const uint8_t KeyBytes[16] = {0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87,
                              0x98, 0xa9, 0xba, 0xcb, 0xdc, 0xed, 0xfe, 0x0f};
const Msg::MsgType Types[] = {Msg::SYSTEM_STATE_CHANGE, Msg::APPLICATION_CHANGE, Msg::USER_INFO_UPDATE,
                              Msg::CLIENT_PROFILE_REQUEST, Msg::AUTO_ENROLL_REQUEST};

struct World {
    ServerDatabase db{":memory:"};
    Faults faults;
    TcServer server{db, faults, ServerConfig{}, [] { return int64_t{1780000000}; }};
    ByteArray key{KeyBytes, 16};
    int userId = 0;
    World()
    {
        userId = db.addUser(L"fuzz", "0123456789012345678901234567");
        db.setSessionKey(userId, key);
        db.setProfileSetting(userId, ProfileSetting{L"HideClientGUI", false, 1, L""});
    }
};

ByteArray sealed(const uint8_t* plain, size_t size, const ByteArray& key, Msg::MsgType type, int userId)
{
    const size_t padded = (size / 16 + 1) * 16;
    std::vector<uint8_t> buffer(padded, 0);
    if (size > 0)
        std::memcpy(buffer.data(), plain, size);
    CRijndael cipher;
    cipher.MakeKey(key.getData(), SecurityConstants::EnvelopeIV, 16, 16);
    cipher.Encrypt(buffer.data(), buffer.data(), padded, CRijndael::CBC);
    ByteArray* encrypted = new ByteArray(buffer.data(), static_cast<int32_t>(padded));
    Msg envelope;
    envelope.setType(type);
    envelope.setAttributeValue(L"UserID", userId);
    envelope.setAttributeValue(L"Signature", SecurityDevice::signByteArray(*encrypted, key));
    envelope.setAttributeValue(L"EncryptedData", encrypted);
    ByteArray bytes;
    envelope.toByteArray(bytes);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A fresh server now and then keeps the in-memory store, which grows
    // with every stored row, small.
    static std::unique_ptr<World> world;
    static unsigned runs = 0;
    if (!world || ++runs % 20000 == 0)
        world = std::make_unique<World>();
    if (size == 0 || size > 65536)
        return 0;
    ByteArray body;
    if ((data[0] & 1) == 0 || size < 2) {
        body = ByteArray(data + 1, static_cast<int32_t>(size - 1));
    } else {
        const Msg::MsgType type = Types[data[1] % (sizeof Types / sizeof Types[0])];
        body = sealed(data + 2, size - 2, world->key, type, world->userId);
    }
    const ByteArray reply = world->server.submit(body, "Tavelin Client/1.0");
    Msg parsed;
    try {
        parsed.fromByteArray(reply);
    } catch (const Exception&) {
        std::abort(); // a reply the client cannot read
    }
    return 0;
}
