// Our SHA-1, AES and the security layer's derived values against OpenSSL.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <memory>
#include <random>
#include <vector>

#include "SecurityTestSupport.h"
#include "base/Msg.h"
#include "shared/server/HashDevice.h"
#include "shared/server/SecurityConstants.h"
#include "shared/server/SecurityDevice.h"

using namespace securitytest;

namespace {

ByteArray opensslSha1(const ByteArray& data)
{
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(data.getData(), static_cast<size_t>(data.getSize()), digest, &length,
                         EVP_sha1(), nullptr),
              1);
    return ByteArray(digest, static_cast<int32_t>(length));
}

// AES-128-CBC without OpenSSL's own padding: the caller pads.
ByteArray opensslCbc(const ByteArray& data, const uint8_t* key, const uint8_t* iv, bool encrypt)
{
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    EXPECT_EQ(EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, key, iv, encrypt ? 1 : 0),
              1);
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    std::vector<uint8_t> out(static_cast<size_t>(data.getSize()) + 16);
    int n = 0, tail = 0;
    EXPECT_EQ(EVP_CipherUpdate(ctx.get(), out.data(), &n, data.getData(), data.getSize()), 1);
    EXPECT_EQ(EVP_CipherFinal_ex(ctx.get(), out.data() + n, &tail), 1);
    return ByteArray(out.data(), n + tail);
}

ByteArray zeroPadded(const ByteArray& data)
{
    ByteArray padded(data);
    const int size = (data.getSize() / 16 + 1) * 16;
    std::vector<uint8_t> zeros(static_cast<size_t>(size - data.getSize()), 0);
    padded.appendData(zeros.data(), static_cast<int32_t>(zeros.size()));
    return padded;
}

std::vector<int> lengths()
{
    std::vector<int> result;
    for (int n = 0; n <= 200; ++n)
        result.push_back(n);
    std::mt19937 generator(42);
    for (int i = 0; i < 40; ++i)
        result.push_back(static_cast<int>(generator() % 70000));
    return result;
}

TEST(CryptoCrossCheckTest, Sha1MatchesOpenSslOverManyLengths)
{
    for (int n : lengths()) {
        ByteArray data = randomBytes(static_cast<uint32_t>(n) * 31u + 1u, n);
        ByteArray ours;
        HashDevice::hashData(data, ours, false);
        ASSERT_EQ(toHex(ours), toHex(opensslSha1(data))) << "length " << n;
    }
}

TEST(CryptoCrossCheckTest, ZeroPaddedCbcMatchesOpenSslBothWays)
{
    for (int n : lengths()) {
        if (n == 0)
            continue; // empty data is refused before encryption
        ByteArray data = randomBytes(static_cast<uint32_t>(n) * 17u + 3u, n);
        ByteArray key = randomBytes(static_cast<uint32_t>(n) + 99u, 16);
        std::unique_ptr<ByteArray> ours(SecurityDeviceTestAccess::encryptByteArray(data, key));
        ByteArray theirs =
            opensslCbc(zeroPadded(data), key.getData(), SecurityConstants::EnvelopeIV, true);
        ASSERT_EQ(toHex(*ours), toHex(theirs)) << "length " << n;
        std::unique_ptr<ByteArray> back(SecurityDeviceTestAccess::decryptByteArray(theirs, key));
        ASSERT_EQ(toHex(*back), toHex(zeroPadded(data))) << "length " << n;
    }
}

// The derived values as the server computes them, from the shared constants.
TEST(CryptoCrossCheckTest, PasswordHashSessionKeyAndSignatureMatchAnIndependentComputation)
{
    const std::wstring password = L"S3cret p\u00e4ss";
    ByteArray salted(password);
    salted.appendData(SecurityConstants::PasswordSalt, 8);
    ByteArray digest = opensslSha1(salted);
    uint8_t text[32] = {};
    ASSERT_EQ(EVP_EncodeBlock(text, digest.getData(), 20), 28);
    ByteArray hash = SecurityDevice::computePasswordHash(password);
    EXPECT_EQ(toText(hash), std::string(reinterpret_cast<char*>(text), 28));

    ByteArray challenge = randomBytes(5, 24);
    ByteArray keyInput = hash + challenge;
    keyInput.appendData(SecurityConstants::SessionKeySalt, 8);
    ByteArray sessionKey = SecurityDevice::generateSessionKey(hash, challenge);
    EXPECT_EQ(toHex(sessionKey), toHex(opensslSha1(keyInput)).substr(0, 32));

    ByteArray data = randomBytes(6, 100);
    ByteArray signInput = data + sessionKey;
    signInput.appendData(SecurityConstants::SignatureSalt, 8);
    std::unique_ptr<ByteArray> signature(SecurityDevice::signByteArray(data, sessionKey));
    EXPECT_EQ(toHex(*signature), toHex(opensslSha1(signInput)));
}

TEST(CryptoCrossCheckTest, EnvelopeOpensWithOpenSsl)
{
    Msg plain;
    plain.setType(Msg::APPLICATION_CHANGE);
    plain.setAttributeValue(L"ContextString1", std::wstring(L"Quarterly report.docx"));
    plain.setAttributeValue(L"UserID", 77);
    ByteArray key = randomBytes(8, 16);
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(plain, key));
    ByteArray* encrypted = nullptr;
    ASSERT_TRUE(envelope->getAttributeValue(L"EncryptedData", encrypted));
    ByteArray wire;
    plain.toByteArray(wire);
    EXPECT_EQ(toHex(opensslCbc(*encrypted, key.getData(), SecurityConstants::EnvelopeIV, false)),
              toHex(zeroPadded(wire)));
}

TEST(CryptoCrossCheckTest, EncryptedStringOpensWithTheXoredMaterialAsKey)
{
    const std::wstring user = L"jsmith";
    ByteArray material;
    material.appendData(SecurityConstants::StringKeyPart1, 3);
    material.appendData(SecurityConstants::StringKeyPart2, 3);
    material.appendData(SecurityConstants::StringKeyPart3, 6);
    material.appendData(SecurityConstants::StringKeyPart4, 3);
    material.appendData(SecurityConstants::StringKeyPart5, 3);
    material.appendData(SecurityConstants::StringKeyPart6, 6);
    material.appendData(SecurityConstants::StringKeyPart7, 3);
    ASSERT_EQ(material.getSize(), SecurityConstants::StringKeySize);
    EXPECT_EQ(toHex(material), toHex(SecurityDeviceTestAccess::assembleStringKey()));

    // "jsmith" in UTF-16LE is 12 bytes: only those of the key change.
    uint8_t key[16];
    const uint8_t* m = material.getData();
    for (int i = 0; i < 16; ++i)
        key[i] =
            m[i] ^
            (i < 12 ? static_cast<uint8_t>(i % 2 == 0 ? user[static_cast<size_t>(i / 2)] : 0) : 0);
    ByteArray encrypted = SecurityDevice::encryptString(L"hunter2", user);
    ByteArray plain = opensslCbc(encrypted, key, SecurityConstants::EnvelopeIV, false);
    EXPECT_EQ(toHex(plain), toHex(zeroPadded(ByteArray(std::wstring(L"hunter2")))));
}

} // namespace
