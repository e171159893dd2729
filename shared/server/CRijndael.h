#pragma once
#include <cstddef>
#include <cstdint>

#include "shared/TCShrdApi.h"

// The Rijndael cipher as standardised in AES: 16-byte blocks, 16, 24 or
// 32-byte keys. The message envelope uses it with a 16-byte key in CBC mode.
//
// Errors are thrown as standard exceptions: std::logic_error "Object not
// Initialized" before MakeKey, std::invalid_argument "Data not multiple of
// Block Size" for a length that is not a whole number of blocks, and
// std::invalid_argument for a bad key length, block size or mode.
//
// The chain (CBC and CFB) carries over from one Encrypt or Decrypt call to
// the next until ResetChain or MakeKey; in and out may be the same buffer.
class TCSHRD_API CRijndael {
public:
    enum Mode { ECB = 0, CBC = 1, CFB = 2 };
    static constexpr int BlockSize = 16;
    static constexpr int MaxRounds = 14;

    CRijndael();
    virtual ~CRijndael();
    CRijndael(const CRijndael&) = delete;
    CRijndael& operator=(const CRijndael&) = delete;

    // key: keyLength bytes (16, 24 or 32); chain: blockSize bytes, the
    // initial chain value of CBC and CFB (all zero when null).
    void MakeKey(const uint8_t* key, const uint8_t* chain, int keyLength = 16, int blockSize = 16);

    void EncryptBlock(const uint8_t* in, uint8_t* out) const;
    void DecryptBlock(const uint8_t* in, uint8_t* out) const;
    // length must be a multiple of the block size (zero does nothing).
    void Encrypt(const uint8_t* in, uint8_t* out, size_t length, int mode = ECB);
    void Decrypt(const uint8_t* in, uint8_t* out, size_t length, int mode = ECB);
    // Back to the chain value given to MakeKey.
    void ResetChain();

    int GetKeyLength() const;
    int GetBlockSize() const;
    int GetRounds() const;

private:
    void checkReady() const;

    bool m_keyed = false;
    int m_keyLength = 0;
    int m_rounds = 0;
    uint32_t m_encryptKey[4 * (MaxRounds + 1)];
    uint32_t m_decryptKey[4 * (MaxRounds + 1)];
    uint8_t m_initialChain[BlockSize];
    uint8_t m_chain[BlockSize];
};
