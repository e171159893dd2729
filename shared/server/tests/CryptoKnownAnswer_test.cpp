// Fixed known answers for the derived values the server checks byte for
// byte. The expected values were computed once outside this code base
// (Python's hashlib and base64; the wire form built in Python from its
// layout; "openssl enc -aes-128-cbc -nopad" over the zero-padded wire form)
// from the salts and IV in SecurityConstants.h and the inputs below, so
// every build, the Windows ones included, checks the same bytes that the
// native build cross-checks against OpenSSL.
#include <gtest/gtest.h>

#include <memory>

#include "SecurityTestSupport.h"
#include "base/Msg.h"
#include "shared/server/SecurityDevice.h"

using namespace securitytest;

namespace {

const wchar_t* const Password = L"S3cret p\u00e4ss";

// 0x40 .. 0x57
ByteArray challenge()
{
    return fromHex("404142434445464748494a4b4c4d4e4f5051525354555657");
}

// 0x10 .. 0x1f
ByteArray envelopeKey()
{
    return fromHex("101112131415161718191a1b1c1d1e1f");
}

TEST(CryptoKnownAnswerTest, PasswordHash)
{
    // base64(SHA-1(UTF-16LE password || PasswordSalt))
    EXPECT_EQ(toText(SecurityDevice::computePasswordHash(Password)),
              "khtBYofXnAv7kHihlpL5MJ7emjM=");
}

TEST(CryptoKnownAnswerTest, SessionKey)
{
    // SHA-1(password hash || challenge || SessionKeySalt), first 16 bytes
    const ByteArray hash = fromText("khtBYofXnAv7kHihlpL5MJ7emjM=");
    EXPECT_EQ(toHex(SecurityDevice::generateSessionKey(hash, challenge())),
              "732593303123ce1811a1046d1d65529b");
}

TEST(CryptoKnownAnswerTest, Signature)
{
    // SHA-1(data || session key || SignatureSalt)
    const ByteArray data = fromText("Ondrivex signed data 0123456789");
    const ByteArray key = fromHex("732593303123ce1811a1046d1d65529b");
    std::unique_ptr<ByteArray> signature(SecurityDevice::signByteArray(data, key));
    EXPECT_EQ(toHex(*signature), "f72def175b30e03bd49a98755c30a6de75ea51bf");
}

TEST(CryptoKnownAnswerTest, Envelope)
{
    Msg plain;
    plain.setType(Msg::APPLICATION_CHANGE);
    plain.setAttributeValue(L"ContextString1", std::wstring(L"Quarterly report.docx"));
    plain.setAttributeValue(L"UserID", 77);
    // The wire form the envelope carries (its layout is checked in Msg's tests).
    ByteArray wire;
    plain.toByteArray(wire);
    ASSERT_EQ(toHex(wire), "01000000a0000000020000000e0000004d007300670054007900700065000100"
                           "00000400000003000000020000000c0000005500730065007200490044000100"
                           "0000040000004d000000020000001c00000043006f006e007400650078007400"
                           "53007400720069006e0067003100020000002a00000051007500610072007400"
                           "650072006c00790020007200650070006f00720074002e0064006f0063007800");

    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(plain, envelopeKey()));
    ByteArray* encrypted = nullptr;
    ByteArray* signature = nullptr;
    ASSERT_TRUE(envelope->getAttributeValue(L"EncryptedData", encrypted));
    ASSERT_TRUE(envelope->getAttributeValue(L"Signature", signature));
    // AES-128-CBC(zero-padded wire form, key, EnvelopeIV)
    EXPECT_EQ(toHex(*encrypted), "e5a1ee2fabdeb93a1cc1516d94ec6ca0fe993ea09db04ae70d7822d3e834ee6a"
                                 "1bc0e40bcbedfc9e0fec996c1a489f261547a91b14673b39ea760a3a96c8a544"
                                 "fd1a2d6913cf3351831b22abb76e63dc219065a686c6de03d0ffa1099013e193"
                                 "bd3f98ded5b1eb1075a48513cebe232b1e6669f9e47af63e223ff147c4b8ce4e"
                                 "11df6377b5c3259bdbb386ec794c1831cd30e4c41d2c7d600a7e00ec8930390e"
                                 "45c954f3beb98338b5c776f82f7aa06a");
    // SHA-1(encrypted data || key || SignatureSalt)
    EXPECT_EQ(toHex(*signature), "b2922925cf80d86e5a9266d72cd315fa2c3a8190");

    std::unique_ptr<Msg> back(SecurityDevice::verifyAndDecryptMsg(*envelope, envelopeKey()));
    std::wstring context;
    ASSERT_TRUE(back->getAttributeValue(L"ContextString1", context));
    EXPECT_EQ(context, L"Quarterly report.docx");
}

TEST(CryptoKnownAnswerTest, EncryptedString)
{
    // AES-128-CBC(zero-padded UTF-16LE "hunter2", string key XOR UTF-16LE
    // "jsmith", EnvelopeIV)
    const ByteArray encrypted = SecurityDevice::encryptString(L"hunter2", L"jsmith");
    EXPECT_EQ(toHex(encrypted), "e820b7e58957421f114f39e07cd2b668");
    EXPECT_EQ(SecurityDevice::decryptString(encrypted, L"jsmith"), L"hunter2");
}

} // namespace
