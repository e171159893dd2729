#pragma once
#include <cstdint>

// The fixed values that the client and the server share. Changing any of the
// salts or the IV breaks every envelope, password hash and session key that
// the server checks; changing the string-key fragments makes the passwords
// saved on users' machines unreadable. They are therefore defined here once
// and nowhere else, for the client and for test servers alike.
namespace SecurityConstants {

const int SaltSize = 8;
const int IVSize = 16;
const int StringKeySize = 27;

// Appended to password hash and challenge when deriving a session key.
const uint8_t SessionKeySalt[SaltSize] = {0x8C, 0xA0, 0xD2, 0x12, 0x19, 0xD4, 0xAC, 0xCF};
// Appended to data and key when signing.
const uint8_t SignatureSalt[SaltSize] = {0xB8, 0xAA, 0xFA, 0x62, 0x16, 0xD1, 0x5F, 0xC5};
// Appended to the password's UTF-16LE bytes when hashing it.
const uint8_t PasswordSalt[SaltSize] = {0x20, 0x1A, 0xBE, 0x28, 0x5A, 0xBA, 0x83, 0x4E};
// The CBC initial chain value of every AES operation.
const uint8_t EnvelopeIV[IVSize] = {0x3D, 0xC3, 0xA2, 0x8C, 0x27, 0x36, 0xD2, 0x7F,
                                    0x98, 0xAD, 0x79, 0x35, 0x9F, 0x48, 0x41, 0xF0};

// The string-key material is kept as seven pieces (3, 3, 6, 3, 3, 6 and 3
// bytes) so that the binary holds no 27-byte run of it; the pieces are joined
// in this order at run time (SecurityDevice::assembleStringKey).
const uint8_t StringKeyPart1[3] = {0x46, 0x88, 0xAE};
const uint8_t StringKeyPart2[3] = {0x2E, 0xF2, 0x72};
const uint8_t StringKeyPart3[6] = {0x8E, 0x82, 0x1B, 0x7F, 0xB3, 0xD6};
const uint8_t StringKeyPart4[3] = {0xC2, 0xD3, 0x7D};
const uint8_t StringKeyPart5[3] = {0x9C, 0x60, 0xE7};
const uint8_t StringKeyPart6[6] = {0x4D, 0x60, 0x60, 0x71, 0x9C, 0x54};
const uint8_t StringKeyPart7[3] = {0x9C, 0xE9, 0x2D};

} // namespace SecurityConstants
