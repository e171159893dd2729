#include "shared/server/CRijndael.h"

#include <cstring>
#include <stdexcept>

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
constexpr int CRijndael::BlockSize;
constexpr int CRijndael::MaxRounds;

namespace {

// Lookup tables derived from the field arithmetic at first use rather than
// typed in: the known-answer tests then check the derivation as a whole.
struct Tables {
    uint8_t sbox[256];
    uint8_t inverseSbox[256];
    uint32_t te[4][256]; // SubBytes + MixColumns, one rotation per table
    uint32_t td[4][256]; // InvSubBytes + InvMixColumns

    static uint8_t mul(uint8_t a, uint8_t b)
    {
        uint8_t product = 0;
        while (b) {
            if (b & 1)
                product ^= a;
            a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0));
            b >>= 1;
        }
        return product;
    }
    static uint32_t ror8(uint32_t x) { return (x >> 8) | (x << 24); }

    Tables()
    {
        // Powers of the generator 3 give every non-zero element; the
        // inverse of 3^i is 3^(255-i).
        uint8_t exp[256], log[256] = {};
        uint8_t x = 1;
        for (int i = 0; i < 255; ++i) {
            exp[i] = x;
            log[x] = static_cast<uint8_t>(i);
            x = mul(x, 3);
        }
        for (int i = 0; i < 256; ++i) {
            uint8_t inv = i == 0 ? 0 : exp[(255 - log[i]) % 255];
            uint8_t s = inv;
            for (int r = 1; r <= 4; ++r)
                s ^= static_cast<uint8_t>((inv << r) | (inv >> (8 - r)));
            s ^= 0x63;
            sbox[i] = s;
            inverseSbox[s] = static_cast<uint8_t>(i);
        }
        for (int i = 0; i < 256; ++i) {
            uint8_t s = sbox[i];
            uint32_t e =
                (uint32_t(mul(s, 2)) << 24) | (uint32_t(s) << 16) | (uint32_t(s) << 8) | mul(s, 3);
            uint8_t v = inverseSbox[i];
            uint32_t d = (uint32_t(mul(v, 14)) << 24) | (uint32_t(mul(v, 9)) << 16) |
                         (uint32_t(mul(v, 13)) << 8) | mul(v, 11);
            for (int t = 0; t < 4; ++t) {
                te[t][i] = e;
                td[t][i] = d;
                e = ror8(e);
                d = ror8(d);
            }
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

inline uint32_t load(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline void store(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

inline void xorBlock(uint8_t* out, const uint8_t* a, const uint8_t* b)
{
    for (int i = 0; i < CRijndael::BlockSize; ++i)
        out[i] = a[i] ^ b[i];
}

} // namespace

CRijndael::CRijndael()
{
    std::memset(m_encryptKey, 0, sizeof m_encryptKey);
    std::memset(m_decryptKey, 0, sizeof m_decryptKey);
    std::memset(m_initialChain, 0, sizeof m_initialChain);
    std::memset(m_chain, 0, sizeof m_chain);
}

CRijndael::~CRijndael()
{
    // Leave no key schedule behind in freed memory.
    volatile uint8_t* p = reinterpret_cast<volatile uint8_t*>(m_encryptKey);
    for (size_t i = 0; i < sizeof m_encryptKey; ++i)
        p[i] = 0;
    p = reinterpret_cast<volatile uint8_t*>(m_decryptKey);
    for (size_t i = 0; i < sizeof m_decryptKey; ++i)
        p[i] = 0;
}

void CRijndael::MakeKey(const uint8_t* key, const uint8_t* chain, int keyLength, int blockSize)
{
    if (key == nullptr)
        throw std::invalid_argument("Empty Key");
    if (keyLength != 16 && keyLength != 24 && keyLength != 32)
        throw std::invalid_argument("Incorrect Key Length");
    if (blockSize != BlockSize)
        throw std::invalid_argument("Incorrect Block Length");

    const Tables& t = tables();
    const int nk = keyLength / 4;
    const int rounds = nk + 6;
    const int words = 4 * (rounds + 1);
    uint32_t* w = m_encryptKey;
    for (int i = 0; i < nk; ++i)
        w[i] = load(key + 4 * i);
    uint8_t rcon = 1;
    for (int i = nk; i < words; ++i) {
        uint32_t temp = w[i - 1];
        if (i % nk == 0) {
            temp = (uint32_t(t.sbox[(temp >> 16) & 0xFF]) << 24) |
                   (uint32_t(t.sbox[(temp >> 8) & 0xFF]) << 16) |
                   (uint32_t(t.sbox[temp & 0xFF]) << 8) | uint32_t(t.sbox[temp >> 24]);
            temp ^= uint32_t(rcon) << 24;
            rcon = Tables::mul(rcon, 2);
        } else if (nk > 6 && i % nk == 4) {
            temp = (uint32_t(t.sbox[temp >> 24]) << 24) |
                   (uint32_t(t.sbox[(temp >> 16) & 0xFF]) << 16) |
                   (uint32_t(t.sbox[(temp >> 8) & 0xFF]) << 8) | uint32_t(t.sbox[temp & 0xFF]);
        }
        w[i] = w[i - nk] ^ temp;
    }

    // The equivalent inverse cipher: round keys in reverse order, the inner
    // ones passed through InvMixColumns (Td[S[x]] is InvMixColumns of x).
    for (int r = 0; r <= rounds; ++r) {
        for (int c = 0; c < 4; ++c) {
            uint32_t k = m_encryptKey[4 * (rounds - r) + c];
            if (r != 0 && r != rounds)
                k = t.td[0][t.sbox[k >> 24]] ^ t.td[1][t.sbox[(k >> 16) & 0xFF]] ^
                    t.td[2][t.sbox[(k >> 8) & 0xFF]] ^ t.td[3][t.sbox[k & 0xFF]];
            m_decryptKey[4 * r + c] = k;
        }
    }

    m_keyLength = keyLength;
    m_rounds = rounds;
    if (chain != nullptr)
        std::memcpy(m_initialChain, chain, BlockSize);
    else
        std::memset(m_initialChain, 0, BlockSize);
    std::memcpy(m_chain, m_initialChain, BlockSize);
    m_keyed = true;
}

void CRijndael::checkReady() const
{
    if (!m_keyed)
        throw std::logic_error("Object not Initialized");
}

void CRijndael::EncryptBlock(const uint8_t* in, uint8_t* out) const
{
    checkReady();
    const Tables& t = tables();
    const uint32_t* rk = m_encryptKey;
    uint32_t s0 = load(in) ^ rk[0], s1 = load(in + 4) ^ rk[1];
    uint32_t s2 = load(in + 8) ^ rk[2], s3 = load(in + 12) ^ rk[3];
    for (int r = 1; r < m_rounds; ++r) {
        rk += 4;
        uint32_t t0 = t.te[0][s0 >> 24] ^ t.te[1][(s1 >> 16) & 0xFF] ^ t.te[2][(s2 >> 8) & 0xFF] ^
                      t.te[3][s3 & 0xFF] ^ rk[0];
        uint32_t t1 = t.te[0][s1 >> 24] ^ t.te[1][(s2 >> 16) & 0xFF] ^ t.te[2][(s3 >> 8) & 0xFF] ^
                      t.te[3][s0 & 0xFF] ^ rk[1];
        uint32_t t2 = t.te[0][s2 >> 24] ^ t.te[1][(s3 >> 16) & 0xFF] ^ t.te[2][(s0 >> 8) & 0xFF] ^
                      t.te[3][s1 & 0xFF] ^ rk[2];
        uint32_t t3 = t.te[0][s3 >> 24] ^ t.te[1][(s0 >> 16) & 0xFF] ^ t.te[2][(s1 >> 8) & 0xFF] ^
                      t.te[3][s2 & 0xFF] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    const uint8_t* s = t.sbox;
    store(out, (uint32_t(s[s0 >> 24]) << 24 | uint32_t(s[(s1 >> 16) & 0xFF]) << 16 |
                uint32_t(s[(s2 >> 8) & 0xFF]) << 8 | s[s3 & 0xFF]) ^
                   rk[0]);
    store(out + 4, (uint32_t(s[s1 >> 24]) << 24 | uint32_t(s[(s2 >> 16) & 0xFF]) << 16 |
                    uint32_t(s[(s3 >> 8) & 0xFF]) << 8 | s[s0 & 0xFF]) ^
                       rk[1]);
    store(out + 8, (uint32_t(s[s2 >> 24]) << 24 | uint32_t(s[(s3 >> 16) & 0xFF]) << 16 |
                    uint32_t(s[(s0 >> 8) & 0xFF]) << 8 | s[s1 & 0xFF]) ^
                       rk[2]);
    store(out + 12, (uint32_t(s[s3 >> 24]) << 24 | uint32_t(s[(s0 >> 16) & 0xFF]) << 16 |
                     uint32_t(s[(s1 >> 8) & 0xFF]) << 8 | s[s2 & 0xFF]) ^
                        rk[3]);
}

void CRijndael::DecryptBlock(const uint8_t* in, uint8_t* out) const
{
    checkReady();
    const Tables& t = tables();
    const uint32_t* rk = m_decryptKey;
    uint32_t s0 = load(in) ^ rk[0], s1 = load(in + 4) ^ rk[1];
    uint32_t s2 = load(in + 8) ^ rk[2], s3 = load(in + 12) ^ rk[3];
    for (int r = 1; r < m_rounds; ++r) {
        rk += 4;
        uint32_t t0 = t.td[0][s0 >> 24] ^ t.td[1][(s3 >> 16) & 0xFF] ^ t.td[2][(s2 >> 8) & 0xFF] ^
                      t.td[3][s1 & 0xFF] ^ rk[0];
        uint32_t t1 = t.td[0][s1 >> 24] ^ t.td[1][(s0 >> 16) & 0xFF] ^ t.td[2][(s3 >> 8) & 0xFF] ^
                      t.td[3][s2 & 0xFF] ^ rk[1];
        uint32_t t2 = t.td[0][s2 >> 24] ^ t.td[1][(s1 >> 16) & 0xFF] ^ t.td[2][(s0 >> 8) & 0xFF] ^
                      t.td[3][s3 & 0xFF] ^ rk[2];
        uint32_t t3 = t.td[0][s3 >> 24] ^ t.td[1][(s2 >> 16) & 0xFF] ^ t.td[2][(s1 >> 8) & 0xFF] ^
                      t.td[3][s0 & 0xFF] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    const uint8_t* s = t.inverseSbox;
    store(out, (uint32_t(s[s0 >> 24]) << 24 | uint32_t(s[(s3 >> 16) & 0xFF]) << 16 |
                uint32_t(s[(s2 >> 8) & 0xFF]) << 8 | s[s1 & 0xFF]) ^
                   rk[0]);
    store(out + 4, (uint32_t(s[s1 >> 24]) << 24 | uint32_t(s[(s0 >> 16) & 0xFF]) << 16 |
                    uint32_t(s[(s3 >> 8) & 0xFF]) << 8 | s[s2 & 0xFF]) ^
                       rk[1]);
    store(out + 8, (uint32_t(s[s2 >> 24]) << 24 | uint32_t(s[(s1 >> 16) & 0xFF]) << 16 |
                    uint32_t(s[(s0 >> 8) & 0xFF]) << 8 | s[s3 & 0xFF]) ^
                       rk[2]);
    store(out + 12, (uint32_t(s[s3 >> 24]) << 24 | uint32_t(s[(s2 >> 16) & 0xFF]) << 16 |
                     uint32_t(s[(s1 >> 8) & 0xFF]) << 8 | s[s0 & 0xFF]) ^
                        rk[3]);
}

void CRijndael::Encrypt(const uint8_t* in, uint8_t* out, size_t length, int mode)
{
    checkReady();
    if (length % BlockSize != 0)
        throw std::invalid_argument("Data not multiple of Block Size");
    if (mode != ECB && mode != CBC && mode != CFB)
        throw std::invalid_argument("Unknown Mode");
    uint8_t block[BlockSize];
    for (size_t i = 0; i < length; i += BlockSize) {
        switch (mode) {
        case ECB:
            EncryptBlock(in + i, out + i);
            break;
        case CBC:
            xorBlock(block, in + i, m_chain);
            EncryptBlock(block, out + i);
            std::memcpy(m_chain, out + i, BlockSize);
            break;
        default: // CFB with a full block of feedback
            EncryptBlock(m_chain, block);
            xorBlock(out + i, in + i, block);
            std::memcpy(m_chain, out + i, BlockSize);
            break;
        }
    }
}

void CRijndael::Decrypt(const uint8_t* in, uint8_t* out, size_t length, int mode)
{
    checkReady();
    if (length % BlockSize != 0)
        throw std::invalid_argument("Data not multiple of Block Size");
    if (mode != ECB && mode != CBC && mode != CFB)
        throw std::invalid_argument("Unknown Mode");
    uint8_t block[BlockSize], cipher[BlockSize];
    for (size_t i = 0; i < length; i += BlockSize) {
        // Keep the ciphertext block: out may overwrite it when in == out.
        std::memcpy(cipher, in + i, BlockSize);
        switch (mode) {
        case ECB:
            DecryptBlock(cipher, out + i);
            break;
        case CBC:
            DecryptBlock(cipher, block);
            xorBlock(out + i, block, m_chain);
            std::memcpy(m_chain, cipher, BlockSize);
            break;
        default:
            EncryptBlock(m_chain, block);
            xorBlock(out + i, cipher, block);
            std::memcpy(m_chain, cipher, BlockSize);
            break;
        }
    }
}

void CRijndael::ResetChain()
{
    std::memcpy(m_chain, m_initialChain, BlockSize);
}

int CRijndael::GetKeyLength() const
{
    checkReady();
    return m_keyLength;
}

int CRijndael::GetBlockSize() const
{
    checkReady();
    return BlockSize;
}

int CRijndael::GetRounds() const
{
    checkReady();
    return m_rounds;
}
