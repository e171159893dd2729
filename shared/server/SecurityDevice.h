#pragma once
#include <string>

#include "base/ByteArray.h"
#include "shared/TCShrdApi.h"

class Msg;

// The server protocol's message security and the protection of locally
// stored credentials. Every function works on its own buffers and its own
// cipher object, so they may run on several threads at once.
//
// Failures are thrown as CommsException (ids 1062901..1062910, 1050610, and
// the message-format ids of Msg::fromByteArray); nothing is returned half done.
class TCSHRD_API SecurityDevice {
public:
    // The envelope of plain: same type, "EncryptedData" (AES-128-CBC of the
    // wire form, zero-padded), "Signature" over it, and the clear
    // identification ("UserID", or else "TavelUsername" and "EmailAddress")
    // the server needs to pick the key. The caller owns the result.
    static Msg* signAndEncryptMsg(const Msg& plain, const ByteArray& sessionKey);
    // The plain message inside an envelope; the caller owns the result. The
    // signature is checked before anything is decrypted.
    static Msg* verifyAndDecryptMsg(const Msg& envelope, const ByteArray& sessionKey);

    // The first 16 bytes of SHA-1(passwordHash || challenge || salt).
    static ByteArray generateSessionKey(const ByteArray& passwordHash, const ByteArray& challenge);
    // The 28 Base64 characters of SHA-1(UTF-16LE password || salt).
    static ByteArray computePasswordHash(const std::wstring& password);
    // The Base64 text of data (an empty array for empty data); caller owns it.
    static ByteArray* base64(const ByteArray& data);
    // The 20 bytes of SHA-1(data || key || salt); caller owns them.
    static ByteArray* signByteArray(const ByteArray& data, const ByteArray& key);

    // Encrypts the UTF-16LE text under a key made from the fixed string-key
    // material and keyText. Throws CommsException 1062906 for an empty text.
    static ByteArray encryptString(const std::wstring& text, const std::wstring& keyText);
    // Reverses encryptString. The zero code units of the padding are not part
    // of the result. Throws CommsException 1062908 for empty data and 1062909
    // for data that is not a whole number of cipher blocks.
    static std::wstring decryptString(const ByteArray& data, const std::wstring& keyText);

private:
    friend struct SecurityDeviceTestAccess;

    // Equal length and equal bytes, compared in time independent of where
    // they first differ.
    static bool verifyByteArray(const ByteArray& signature, const ByteArray& data,
                                const ByteArray& key);
    // AES-128-CBC under the first 16 bytes of key (a shorter key is
    // zero-filled to 16), after zero padding to the next whole block (1 to
    // 16 bytes are always added). Caller owns the result.
    static ByteArray* encryptByteArray(const ByteArray& data, const ByteArray& key);
    // All decrypted bytes, padding included. Caller owns the result.
    static ByteArray* decryptByteArray(const ByteArray& data, const ByteArray& key);
    // The wire form's total-length field (offset 4), or -1 when the data is
    // too short to hold one.
    static int getEncodedMsgSize(const ByteArray& decrypted);
    // The 27 bytes of string-key material, joined from their pieces.
    static ByteArray assembleStringKey();
    static ByteArray stringKey(const std::wstring& keyText);
};
