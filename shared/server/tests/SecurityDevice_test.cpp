#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "SecurityTestSupport.h"
#include "base/Exception.h"
#include "base/Msg.h"
#include "shared/server/SecurityDevice.h"

using namespace securitytest;

namespace {

// Runs f and returns the id of the CommsException it throws (0 when none).
template <typename F>
int commsErrorOf(F f)
{
    try {
        f();
    } catch (const CommsException& e) {
        return e.getExceptionID();
    }
    return 0;
}

class SecurityDeviceTest : public ::testing::Test {
protected:
    ByteArray key_ = randomBytes(11, 16);

    Msg samplePlain()
    {
        Msg plain;
        plain.setType(Msg::SYSTEM_STATE_CHANGE);
        plain.setAttributeValue(L"SystemState", std::wstring(L"Idle"));
        plain.setAttributeValue(L"Duration", 300);
        plain.setAttributeValue(L"Icon", new ByteArray(randomBytes(3, 40)));
        return plain;
    }

    // An envelope with a valid signature over the given ciphertext.
    std::unique_ptr<Msg> signedEnvelope(const ByteArray& encrypted)
    {
        std::unique_ptr<Msg> envelope(new Msg());
        envelope->setAttributeValue(L"EncryptedData", new ByteArray(encrypted));
        envelope->setAttributeValue(L"Signature", SecurityDevice::signByteArray(encrypted, key_));
        return envelope;
    }
};

TEST_F(SecurityDeviceTest, PaddingAlwaysAddsOneToSixteenBytes)
{
    const int cases[][2] = {{1, 16}, {15, 16}, {16, 32}, {17, 32}, {31, 32}, {32, 48}, {100, 112}};
    for (const auto& c : cases) {
        ByteArray data = randomBytes(static_cast<uint32_t>(c[0]), c[0]);
        std::unique_ptr<ByteArray> encrypted(
            SecurityDeviceTestAccess::encryptByteArray(data, key_));
        EXPECT_EQ(encrypted->getSize(), c[1]) << c[0];
        std::unique_ptr<ByteArray> back(
            SecurityDeviceTestAccess::decryptByteArray(*encrypted, key_));
        ASSERT_EQ(back->getSize(), c[1]);
        EXPECT_EQ(toHex(ByteArray(back->getData(), c[0])), toHex(data));
        EXPECT_EQ(toHex(ByteArray(back->getData() + c[0], c[1] - c[0])),
                  std::string(2 * (c[1] - c[0]), '0'));
    }
}

TEST_F(SecurityDeviceTest, EmptyOrMisalignedInputIsRefused)
{
    ByteArray empty, data = randomBytes(1, 32);
    EXPECT_EQ(commsErrorOf([&] { delete SecurityDeviceTestAccess::encryptByteArray(empty, key_); }),
              1062906);
    EXPECT_EQ(commsErrorOf([&] { delete SecurityDeviceTestAccess::encryptByteArray(data, empty); }),
              1062906);
    EXPECT_EQ(commsErrorOf([&] { delete SecurityDeviceTestAccess::decryptByteArray(empty, key_); }),
              1062908);
    EXPECT_EQ(commsErrorOf([&] { delete SecurityDeviceTestAccess::decryptByteArray(data, empty); }),
              1062908);
    ByteArray odd = randomBytes(2, 17);
    EXPECT_EQ(commsErrorOf([&] { delete SecurityDeviceTestAccess::decryptByteArray(odd, key_); }),
              1062909);
}

// Only the first 16 key bytes count; a shorter key acts as if zero-filled.
TEST_F(SecurityDeviceTest, CipherUsesTheFirstSixteenKeyBytes)
{
    ByteArray data = randomBytes(4, 40);
    ByteArray longKey = key_ + randomBytes(5, 11);
    std::unique_ptr<ByteArray> a(SecurityDeviceTestAccess::encryptByteArray(data, key_));
    std::unique_ptr<ByteArray> b(SecurityDeviceTestAccess::encryptByteArray(data, longKey));
    EXPECT_EQ(toHex(*a), toHex(*b));

    ByteArray shortKey = fromHex("0102030405");
    ByteArray filled = fromHex("01020304050000000000000000000000");
    std::unique_ptr<ByteArray> c(SecurityDeviceTestAccess::encryptByteArray(data, shortKey));
    std::unique_ptr<ByteArray> d(SecurityDeviceTestAccess::encryptByteArray(data, filled));
    EXPECT_EQ(toHex(*c), toHex(*d));
}

TEST_F(SecurityDeviceTest, EnvelopeRoundTripKeepsEveryAttribute)
{
    Msg plain = samplePlain();
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(plain, key_));
    EXPECT_TRUE(envelope->isSecure());
    EXPECT_EQ(envelope->getType(), Msg::SYSTEM_STATE_CHANGE);
    EXPECT_FALSE(envelope->containsStringAttribute(L"SystemState"));

    std::unique_ptr<Msg> back(SecurityDevice::verifyAndDecryptMsg(*envelope, key_));
    ByteArray expected, actual;
    plain.toByteArray(expected);
    back->toByteArray(actual);
    EXPECT_EQ(toHex(actual), toHex(expected));
}

TEST_F(SecurityDeviceTest, EnvelopeCarriesUserIdInClearAndNothingElse)
{
    Msg plain = samplePlain();
    plain.setAttributeValue(L"UserID", 4711);
    plain.setAttributeValue(L"TavelUsername", std::wstring(L"anna@example.org"));
    plain.setAttributeValue(L"EmailAddress", std::wstring(L"anna@example.org"));
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(plain, key_));
    int userId = 0;
    EXPECT_TRUE(envelope->getAttributeValue(L"UserID", userId));
    EXPECT_EQ(userId, 4711);
    EXPECT_FALSE(envelope->containsStringAttribute(L"TavelUsername"));
    EXPECT_FALSE(envelope->containsStringAttribute(L"EmailAddress"));
    EXPECT_EQ(envelope->getIntAttributeCount(), 2); // MsgType, UserID
    EXPECT_EQ(envelope->getStringAttributeCount(), 0);
    EXPECT_EQ(envelope->getByteArrayAttributeCount(), 2);
}

TEST_F(SecurityDeviceTest, EnvelopeWithoutUserIdCarriesNameAndAddressWhenPresent)
{
    Msg plain = samplePlain();
    plain.setAttributeValue(L"TavelUsername", std::wstring(L"anna"));
    plain.setAttributeValue(L"EmailAddress", std::wstring(L"anna@example.org"));
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(plain, key_));
    std::wstring name, address;
    EXPECT_FALSE(envelope->containsIntAttribute(L"UserID"));
    EXPECT_TRUE(envelope->getAttributeValue(L"TavelUsername", name));
    EXPECT_TRUE(envelope->getAttributeValue(L"EmailAddress", address));
    EXPECT_EQ(name, L"anna");
    EXPECT_EQ(address, L"anna@example.org");

    plain.removeStringAttribute(L"EmailAddress");
    envelope.reset(SecurityDevice::signAndEncryptMsg(plain, key_));
    EXPECT_TRUE(envelope->containsStringAttribute(L"TavelUsername"));
    EXPECT_FALSE(envelope->containsStringAttribute(L"EmailAddress"));

    // The clear attributes are not copied into the decrypted message.
    Msg bare;
    envelope.reset(SecurityDevice::signAndEncryptMsg(bare, key_));
    envelope->setAttributeValue(L"TavelUsername", std::wstring(L"someone else"));
    std::unique_ptr<Msg> back(SecurityDevice::verifyAndDecryptMsg(*envelope, key_));
    EXPECT_FALSE(back->containsStringAttribute(L"TavelUsername"));
}

TEST_F(SecurityDeviceTest, MissingPartsOfTheEnvelopeFailWith1062903)
{
    std::unique_ptr<Msg> envelope(SecurityDevice::signAndEncryptMsg(samplePlain(), key_));
    Msg noSignature(*envelope), noBody(*envelope), stringSignature(*envelope);
    noSignature.removeByteArrayAttribute(L"Signature");
    noBody.removeByteArrayAttribute(L"EncryptedData");
    stringSignature.removeByteArrayAttribute(L"Signature");
    stringSignature.setAttributeValue(L"Signature", std::wstring(L"not bytes"));
    for (const Msg* m : {&noSignature, &noBody, &stringSignature})
        EXPECT_EQ(commsErrorOf([&] { delete SecurityDevice::verifyAndDecryptMsg(*m, key_); }),
                  1062903);
}

TEST_F(SecurityDeviceTest, AnyChangedSignatureByteFailsBeforeDecryption)
{
    // Ciphertext of a length that decryption would refuse with 1062909:
    // seeing 1062904 shows the signature is checked first.
    ByteArray misaligned = randomBytes(9, 33);
    std::unique_ptr<Msg> envelope = signedEnvelope(misaligned);
    ByteArray* signature = nullptr;
    ASSERT_TRUE(envelope->getAttributeValue(L"Signature", signature));
    ASSERT_EQ(signature->getSize(), 20);
    for (int i = 0; i < 20; ++i) {
        Msg changed(*envelope);
        ByteArray* s = nullptr;
        changed.getAttributeValue(L"Signature", s);
        s->getData()[i] ^= 0x01;
        EXPECT_EQ(commsErrorOf([&] { delete SecurityDevice::verifyAndDecryptMsg(changed, key_); }),
                  1062904)
            << i;
    }
    Msg truncated(*envelope);
    truncated.setAttributeValue(L"Signature", new ByteArray(signature->getData(), 19));
    EXPECT_EQ(commsErrorOf([&] { delete SecurityDevice::verifyAndDecryptMsg(truncated, key_); }),
              1062904);
    EXPECT_EQ(commsErrorOf([&] {
                  delete SecurityDevice::verifyAndDecryptMsg(*envelope, randomBytes(12, 16));
              }),
              1062904);
}

TEST_F(SecurityDeviceTest, SignedButMisalignedCiphertextFailsWith1062909)
{
    for (int n : {1, 15, 17, 33}) {
        std::unique_ptr<Msg> envelope = signedEnvelope(randomBytes(static_cast<uint32_t>(n), n));
        EXPECT_EQ(
            commsErrorOf([&] { delete SecurityDevice::verifyAndDecryptMsg(*envelope, key_); }),
            1062909)
            << n;
    }
}

TEST_F(SecurityDeviceTest, LengthFieldBeyondTheDecryptedDataFailsWith1050610)
{
    ByteArray wire;
    samplePlain().toByteArray(wire);
    for (int claimed : {wire.getSize() + 100, 0x7fffffff, -1, -1000}) {
        ByteArray forged(wire);
        uint8_t* p = forged.getData() + 4;
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<uint8_t>(static_cast<uint32_t>(claimed) >> (8 * i));
        std::unique_ptr<ByteArray> encrypted(
            SecurityDeviceTestAccess::encryptByteArray(forged, key_));
        std::unique_ptr<Msg> envelope = signedEnvelope(*encrypted);
        EXPECT_EQ(
            commsErrorOf([&] { delete SecurityDevice::verifyAndDecryptMsg(*envelope, key_); }),
            1050610)
            << claimed;
    }
}

// The length field may point into the padding: the parser then sees the
// zero bytes and reports the format error, not a crash.
TEST_F(SecurityDeviceTest, LengthFieldIntoThePaddingFailsAsAFormatError)
{
    ByteArray wire;
    samplePlain().toByteArray(wire);
    ByteArray forged(wire);
    forged.getData()[4] = static_cast<uint8_t>(forged.getData()[4] + 4);
    std::unique_ptr<ByteArray> encrypted(SecurityDeviceTestAccess::encryptByteArray(forged, key_));
    std::unique_ptr<Msg> envelope = signedEnvelope(*encrypted);
    const int id =
        commsErrorOf([&] { delete SecurityDevice::verifyAndDecryptMsg(*envelope, key_); });
    EXPECT_GE(id, 1050601);
    EXPECT_LE(id, 1050609);
}

TEST_F(SecurityDeviceTest, PasswordHashIsTwentyEightCharactersOfBase64)
{
    ByteArray hash = SecurityDevice::computePasswordHash(L"password");
    ASSERT_EQ(hash.getSize(), 28);
    EXPECT_EQ(hash.getData()[27], '=');
    EXPECT_NE(toText(hash), toText(SecurityDevice::computePasswordHash(L"Password")));
    EXPECT_EQ(toText(hash), toText(SecurityDevice::computePasswordHash(L"password")));
    // Characters beyond the basic plane hash as their surrogate pairs.
    EXPECT_EQ(SecurityDevice::computePasswordHash(L"\U0001F600").getSize(), 28);

    ByteArray sessionKey = SecurityDevice::generateSessionKey(hash, fromText("challenge"));
    EXPECT_EQ(sessionKey.getSize(), 16);
    EXPECT_NE(toHex(sessionKey),
              toHex(SecurityDevice::generateSessionKey(hash, fromText("challengf"))));
}

TEST_F(SecurityDeviceTest, Base64OfEmptyIsAnEmptyArray)
{
    std::unique_ptr<ByteArray> empty(SecurityDevice::base64(ByteArray()));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->getSize(), 0);
    std::unique_ptr<ByteArray> text(SecurityDevice::base64(fromText("foobar")));
    EXPECT_EQ(toText(*text), "Zm9vYmFy");
}

TEST_F(SecurityDeviceTest, StringEncryptionRoundTripsForUserNamesOfSeveralLengths)
{
    for (const std::wstring user :
         {L"", L"a", L"jsmith", L"anna.maria.smith", L"CORP\\a.very.long.user.name.indeed",
          L"\u00e9l\u00e8ve\U0001F600"}) {
        for (const std::wstring password :
             {L"p", L"hunter2!", L"exactly8", L"sixteen chars!!!", L"p\u00e4ss\u00df"}) {
            ByteArray encrypted = SecurityDevice::encryptString(password, user);
            EXPECT_EQ(encrypted.getSize() % 16, 0);
            EXPECT_GT(encrypted.getSize(), 2 * static_cast<int>(password.size()) - 1);
            EXPECT_EQ(SecurityDevice::decryptString(encrypted, user), password);
        }
    }
}

TEST_F(SecurityDeviceTest, StringKeyDependsOnTheKeyText)
{
    ByteArray a = SecurityDevice::encryptString(L"hunter2", L"anna");
    ByteArray b = SecurityDevice::encryptString(L"hunter2", L"anne");
    EXPECT_NE(toHex(a), toHex(b));
    EXPECT_NE(SecurityDevice::decryptString(a, L"anne"), L"hunter2");
    EXPECT_EQ(commsErrorOf([] { SecurityDevice::decryptString(ByteArray(), L"anna"); }), 1062908);
    EXPECT_EQ(commsErrorOf([] { SecurityDevice::decryptString(fromText("short"), L"anna"); }),
              1062909);
}

} // namespace
