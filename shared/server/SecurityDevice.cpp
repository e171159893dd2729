#include "shared/server/SecurityDevice.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Msg.h"
#include "shared/server/Base64Device.h"
#include "shared/server/CRijndael.h"
#include "shared/server/HashDevice.h"
#include "shared/server/SecurityConstants.h"

namespace {

const wchar_t* const EncryptedDataAttribute = L"EncryptedData";
const wchar_t* const SignatureAttribute = L"Signature";
const wchar_t* const UserIDAttribute = L"UserID";
const wchar_t* const UserNameAttribute = L"TavelUsername";
const wchar_t* const EmailAttribute = L"EmailAddress";

const int AesKeySize = 16;

// Runs a cipher step; exceptions are traced under eventId and thrown on as
// Exception (the cipher's own standard exceptions become one with that id).
// Both name the caller's place, at.
template <typename Step>
void runTraced(Step step, uint32_t eventId, const wchar_t* text, const SourceLocation& at)
{
    try {
        step();
    } catch (const Exception& e) {
        Event event(eventId, &e, text, at);
        Logger::Trace(event);
        throw;
    } catch (const std::exception& e) {
        Exception failure(static_cast<int>(eventId), text, at);
        std::string what = e.what();
        failure.addParameter(std::wstring(what.begin(), what.end()));
        Event event(eventId, &failure, text, at);
        Logger::Trace(event);
        throw failure;
    }
}

// The SHA-1 digest of first, second and the salt (SaltSize bytes), in that order.
void saltedDigest(const ByteArray& first, const ByteArray& second, const uint8_t* salt,
                  uint8_t digest[HashDevice::DigestSize])
{
    Sha1 sha;
    sha.update(first);
    sha.update(second);
    sha.update(salt, SecurityConstants::SaltSize);
    sha.finish(digest);
}

// Runs step(cipher, result) with the envelope's cipher keyed from key, traced
// as runTraced does, and hands out the result. The cipher key is the first
// 16 bytes of key, zero-filled when it is shorter, so that a short key
// never makes the cipher read past its end.
template <typename Step>
ByteArray* runCipher(const ByteArray& key, Step step, uint32_t eventId, const wchar_t* text,
                     const SourceLocation& at)
{
    std::unique_ptr<ByteArray> result(new ByteArray());
    runTraced(
        [&] {
            uint8_t keyBytes[AesKeySize] = {};
            std::memcpy(
                keyBytes, key.getData(),
                static_cast<size_t>(key.getSize() < AesKeySize ? key.getSize() : AesKeySize));
            CRijndael cipher;
            cipher.MakeKey(keyBytes, SecurityConstants::EnvelopeIV, AesKeySize,
                           CRijndael::BlockSize);
            step(cipher, *result);
        },
        eventId, text, at);
    return result.release();
}

} // namespace

Msg* SecurityDevice::signAndEncryptMsg(const Msg& plain, const ByteArray& sessionKey)
{
    ByteArray wire;
    plain.toByteArray(wire);

    std::unique_ptr<ByteArray> encrypted(encryptByteArray(wire, sessionKey));
    if (!encrypted)
        throw CommsException(1062901, L"Failed to encrypt bytearray",
                             TC_AT(L"SecurityDevice::signAndEncryptMsg"));
    std::unique_ptr<ByteArray> signature(signByteArray(*encrypted, sessionKey));
    if (!signature)
        throw CommsException(1062902, L"Failed to sign bytearray",
                             TC_AT(L"SecurityDevice::signAndEncryptMsg"));

    std::unique_ptr<Msg> envelope(new Msg());
    envelope->setType(plain.getType());
    envelope->setAttributeValue(EncryptedDataAttribute, encrypted.release());
    envelope->setAttributeValue(SignatureAttribute, signature.release());

    int userId = 0;
    if (plain.getAttributeValue(UserIDAttribute, userId)) {
        envelope->setAttributeValue(UserIDAttribute, userId);
    } else {
        std::wstring text;
        if (plain.getAttributeValue(UserNameAttribute, text))
            envelope->setAttributeValue(UserNameAttribute, text);
        if (plain.getAttributeValue(EmailAttribute, text))
            envelope->setAttributeValue(EmailAttribute, text);
    }
    return envelope.release();
}

Msg* SecurityDevice::verifyAndDecryptMsg(const Msg& envelope, const ByteArray& sessionKey)
{
    ByteArray* encrypted = nullptr;
    ByteArray* signature = nullptr;
    if (!envelope.getAttributeValue(EncryptedDataAttribute, encrypted) ||
        !envelope.getAttributeValue(SignatureAttribute, signature) || encrypted == nullptr ||
        signature == nullptr)
        throw CommsException(1062903, L"Missing signature or encrypted body from msg",
                             TC_AT(L"SecurityDevice::verifyAndDecryptMsg"));

    if (!verifyByteArray(*signature, *encrypted, sessionKey))
        throw CommsException(1062904, L"Failed to veryify msg signature",
                             TC_AT(L"SecurityDevice::verifyAndDecryptMsg"));

    std::unique_ptr<ByteArray> decrypted(decryptByteArray(*encrypted, sessionKey));
    if (!decrypted)
        throw CommsException(1062905, L"Failed to decrypt bytearray",
                             TC_AT(L"SecurityDevice::verifyAndDecryptMsg"));

    // The padding stays on after decryption; the message's own length field
    // says where it ends. A negative length is as invalid as an overlong one.
    const int size = getEncodedMsgSize(*decrypted);
    if (size < 0 || size > decrypted->getSize())
        throw CommsException(1050610, L"Invalid encoded msg size",
                             TC_AT(L"SecurityDevice::verifyAndDecryptMsg"));

    ByteArray wire(decrypted->getData(), size);
    std::unique_ptr<Msg> plain(new Msg());
    plain->fromByteArray(wire);
    return plain.release();
}

ByteArray SecurityDevice::generateSessionKey(const ByteArray& passwordHash,
                                             const ByteArray& challenge)
{
    uint8_t digest[HashDevice::DigestSize];
    saltedDigest(passwordHash, challenge, SecurityConstants::SessionKeySalt, digest);
    return ByteArray(digest, AesKeySize);
}

ByteArray SecurityDevice::computePasswordHash(const std::wstring& password)
{
    ByteArray salted(password);
    salted.appendData(SecurityConstants::PasswordSalt, SecurityConstants::SaltSize);
    ByteArray text;
    HashDevice::hashData(salted, text, true);
    return text;
}

ByteArray* SecurityDevice::base64(const ByteArray& data)
{
    std::unique_ptr<ByteArray> text(new ByteArray());
    Base64Device::base64Data(data, *text);
    return text.release();
}

ByteArray* SecurityDevice::signByteArray(const ByteArray& data, const ByteArray& key)
{
    uint8_t digest[HashDevice::DigestSize];
    saltedDigest(data, key, SecurityConstants::SignatureSalt, digest);
    return new ByteArray(digest, HashDevice::DigestSize);
}

bool SecurityDevice::verifyByteArray(const ByteArray& signature, const ByteArray& data,
                                     const ByteArray& key)
{
    std::unique_ptr<ByteArray> expected(signByteArray(data, key));
    // The length is public (always 20); only the bytes must not leak through
    // timing, so there is no early exit on the first difference.
    if (signature.getSize() != expected->getSize())
        return false;
    const uint8_t* a = signature.getData();
    const uint8_t* b = expected->getData();
    volatile uint8_t difference = 0;
    for (int32_t i = 0; i < expected->getSize(); ++i)
        difference = static_cast<uint8_t>(difference | (a[i] ^ b[i]));
    return difference == 0;
}

ByteArray* SecurityDevice::encryptByteArray(const ByteArray& data, const ByteArray& key)
{
    if (data.getSize() <= 0 || key.getSize() <= 0)
        throw CommsException(1062906, L"Empty data or key passed to function",
                             TC_AT(L"SecurityDevice::encryptByteArray"));
    // The padded size must still fit the signed 32-bit size of a ByteArray.
    if (data.getSize() > INT32_MAX - CRijndael::BlockSize)
        throw std::bad_alloc();

    return runCipher(
        key,
        [&](CRijndael& cipher, ByteArray& result) {
            // Always 1 to 16 zero bytes more: a full block when the size is
            // already a multiple of 16.
            const int32_t padded =
                (data.getSize() / CRijndael::BlockSize + 1) * CRijndael::BlockSize;
            uint8_t* buffer = result.getBuffer(padded);
            std::memset(buffer, 0, static_cast<size_t>(padded));
            std::memcpy(buffer, data.getData(), static_cast<size_t>(data.getSize()));
            cipher.Encrypt(buffer, buffer, static_cast<size_t>(padded), CRijndael::CBC);
        },
        1062907, L"An exception occured while encrypting a bytearray",
        TC_HERE(L"SecurityDevice::encryptByteArray"));
}

ByteArray* SecurityDevice::decryptByteArray(const ByteArray& data, const ByteArray& key)
{
    if (data.getSize() <= 0 || key.getSize() <= 0)
        throw CommsException(1062908, L"Empty data or key passed to decrypt function",
                             TC_AT(L"SecurityDevice::decryptByteArray"));
    if (data.getSize() % CRijndael::BlockSize != 0)
        throw CommsException(1062909, L"Encrypted data NOT a multiple of the key size",
                             TC_AT(L"SecurityDevice::decryptByteArray"));

    return runCipher(
        key,
        [&](CRijndael& cipher, ByteArray& result) {
            uint8_t* buffer = result.getBuffer(data.getSize());
            cipher.Decrypt(data.getData(), buffer, static_cast<size_t>(data.getSize()),
                           CRijndael::CBC);
        },
        1062910, L"An exception occured while decrypting a bytearray",
        TC_HERE(L"SecurityDevice::decryptByteArray"));
}

int SecurityDevice::getEncodedMsgSize(const ByteArray& decrypted)
{
    MsgHeader header;
    if (!MsgHeader::read(decrypted.getData(), decrypted.getSize(), header))
        return -1;
    return header.length;
}

ByteArray SecurityDevice::assembleStringKey()
{
    using namespace SecurityConstants;
    ByteArray key;
    key.ensure(StringKeySize);
    key.appendData(StringKeyPart1, sizeof StringKeyPart1);
    key.appendData(StringKeyPart2, sizeof StringKeyPart2);
    key.appendData(StringKeyPart3, sizeof StringKeyPart3);
    key.appendData(StringKeyPart4, sizeof StringKeyPart4);
    key.appendData(StringKeyPart5, sizeof StringKeyPart5);
    key.appendData(StringKeyPart6, sizeof StringKeyPart6);
    key.appendData(StringKeyPart7, sizeof StringKeyPart7);
    return key;
}

ByteArray SecurityDevice::stringKey(const std::wstring& keyText)
{
    ByteArray key = assembleStringKey();
    key.xorWith(ByteArray(keyText));
    return key;
}

ByteArray SecurityDevice::encryptString(const std::wstring& text, const std::wstring& keyText)
{
    std::unique_ptr<ByteArray> encrypted(encryptByteArray(ByteArray(text), stringKey(keyText)));
    return encrypted ? *encrypted : ByteArray();
}

std::wstring SecurityDevice::decryptString(const ByteArray& data, const std::wstring& keyText)
{
    std::unique_ptr<ByteArray> decrypted(decryptByteArray(data, stringKey(keyText)));
    if (!decrypted)
        return std::wstring();
    std::wstring text = decrypted->w2w();
    // The padding leaves zero code units at the end; readers of the result
    // as a zero-terminated string never saw them, so they are not returned.
    const size_t end = text.find_last_not_of(L'\0');
    text.erase(end == std::wstring::npos ? 0 : end + 1);
    return text;
}
