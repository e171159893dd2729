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
#include <memory>

#include "base/Exception.h"
#include "base/Msg.h"
#include "fuzz/SealedEnvelope.h"
#include "tools/tcserver/posix/Faults.h"
#include "tools/tcserver/posix/ServerDatabase.h"
#include "tools/tcserver/posix/TcServer.h"

namespace {

const Msg::MsgType Types[] = {Msg::SYSTEM_STATE_CHANGE, Msg::APPLICATION_CHANGE, Msg::USER_INFO_UPDATE,
                              Msg::CLIENT_PROFILE_REQUEST, Msg::AUTO_ENROLL_REQUEST};

struct World {
    ServerDatabase db{":memory:"};
    Faults faults;
    TcServer server{db, faults, ServerConfig{}, [] { return int64_t{1780000000}; }};
    ByteArray key{fuzzing::SessionKey, 16};
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
    std::unique_ptr<Msg> envelope = fuzzing::sealedEnvelope(plain, size, key);
    envelope->setType(type);
    envelope->setAttributeValue(L"UserID", userId);
    ByteArray bytes;
    envelope->toByteArray(bytes);
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
