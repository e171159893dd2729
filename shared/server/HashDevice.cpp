#include "shared/server/HashDevice.h"

#include <cstring>

#include "base/File.h"
#include "shared/server/Base64Device.h"

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
constexpr int HashDevice::DigestSize;
constexpr int HashDevice::DigestTextSize;
constexpr int HashDevice::MaximumFileSize;

namespace {

inline uint32_t rotl(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

inline uint32_t loadBigEndian(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

} // namespace

void Sha1::reset()
{
    m_state[0] = 0x67452301u;
    m_state[1] = 0xEFCDAB89u;
    m_state[2] = 0x98BADCFEu;
    m_state[3] = 0x10325476u;
    m_state[4] = 0xC3D2E1F0u;
    m_length = 0;
    m_buffered = 0;
}

void Sha1::compress(const uint8_t* block)
{
    // The message schedule is kept as a ring of 16 words and the rounds are
    // written out, so that the state stays in registers.
    uint32_t w[16];
    for (int i = 0; i < 16; ++i)
        w[i] = loadBigEndian(block + 4 * i);

    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3], e = m_state[4];

#define TC_SHA1_W(i)                                                                               \
    (w[(i)&15] = rotl(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i)&15], 1))
#define TC_SHA1_STEP(f, k, wi, a, b, c, d, e)                                                      \
    do {                                                                                           \
        e += rotl(a, 5) + (f) + (k) + (wi);                                                        \
        b = rotl(b, 30);                                                                           \
    } while (0)
#define TC_SHA1_F1(b, c, d) (d ^ (b & (c ^ d)))
#define TC_SHA1_F2(b, c, d) (b ^ c ^ d)
#define TC_SHA1_F3(b, c, d) ((b & c) | (d & (b | c)))
#define TC_SHA1_FIVE(F, k, i, W)                                                                   \
    TC_SHA1_STEP(F(b, c, d), k, W(i), a, b, c, d, e);                                              \
    TC_SHA1_STEP(F(a, b, c), k, W(i + 1), e, a, b, c, d);                                          \
    TC_SHA1_STEP(F(e, a, b), k, W(i + 2), d, e, a, b, c);                                          \
    TC_SHA1_STEP(F(d, e, a), k, W(i + 3), c, d, e, a, b);                                          \
    TC_SHA1_STEP(F(c, d, e), k, W(i + 4), b, c, d, e, a)
#define TC_SHA1_INPUT(i) w[i]

    TC_SHA1_FIVE(TC_SHA1_F1, 0x5A827999u, 0, TC_SHA1_INPUT);
    TC_SHA1_FIVE(TC_SHA1_F1, 0x5A827999u, 5, TC_SHA1_INPUT);
    TC_SHA1_FIVE(TC_SHA1_F1, 0x5A827999u, 10, TC_SHA1_INPUT);
    TC_SHA1_STEP(TC_SHA1_F1(b, c, d), 0x5A827999u, w[15], a, b, c, d, e);
    TC_SHA1_STEP(TC_SHA1_F1(a, b, c), 0x5A827999u, TC_SHA1_W(16), e, a, b, c, d);
    TC_SHA1_STEP(TC_SHA1_F1(e, a, b), 0x5A827999u, TC_SHA1_W(17), d, e, a, b, c);
    TC_SHA1_STEP(TC_SHA1_F1(d, e, a), 0x5A827999u, TC_SHA1_W(18), c, d, e, a, b);
    TC_SHA1_STEP(TC_SHA1_F1(c, d, e), 0x5A827999u, TC_SHA1_W(19), b, c, d, e, a);
    for (int i = 20; i < 40; i += 5) {
        TC_SHA1_FIVE(TC_SHA1_F2, 0x6ED9EBA1u, i, TC_SHA1_W);
    }
    for (int i = 40; i < 60; i += 5) {
        TC_SHA1_FIVE(TC_SHA1_F3, 0x8F1BBCDCu, i, TC_SHA1_W);
    }
    for (int i = 60; i < 80; i += 5) {
        TC_SHA1_FIVE(TC_SHA1_F2, 0xCA62C1D6u, i, TC_SHA1_W);
    }

#undef TC_SHA1_INPUT
#undef TC_SHA1_FIVE
#undef TC_SHA1_F3
#undef TC_SHA1_F2
#undef TC_SHA1_F1
#undef TC_SHA1_STEP
#undef TC_SHA1_W

    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
    m_state[4] += e;
}

void Sha1::update(const void* data, size_t length)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (p == nullptr || length == 0)
        return;
    m_length += length;
    if (m_buffered > 0) {
        size_t take = 64 - m_buffered < length ? 64 - m_buffered : length;
        std::memcpy(m_buffer + m_buffered, p, take);
        m_buffered += take;
        p += take;
        length -= take;
        if (m_buffered < 64)
            return;
        compress(m_buffer);
        m_buffered = 0;
    }
    for (; length >= 64; p += 64, length -= 64)
        compress(p);
    std::memcpy(m_buffer, p, length);
    m_buffered = length;
}

void Sha1::finish(uint8_t digest[HashDevice::DigestSize])
{
    const uint64_t bits = m_length * 8;
    m_buffer[m_buffered++] = 0x80;
    if (m_buffered > 56) {
        std::memset(m_buffer + m_buffered, 0, 64 - m_buffered);
        compress(m_buffer);
        m_buffered = 0;
    }
    std::memset(m_buffer + m_buffered, 0, 56 - m_buffered);
    for (int i = 0; i < 8; ++i)
        m_buffer[56 + i] = uint8_t(bits >> (56 - 8 * i));
    compress(m_buffer);
    for (int i = 0; i < 5; ++i) {
        digest[4 * i] = uint8_t(m_state[i] >> 24);
        digest[4 * i + 1] = uint8_t(m_state[i] >> 16);
        digest[4 * i + 2] = uint8_t(m_state[i] >> 8);
        digest[4 * i + 3] = uint8_t(m_state[i]);
    }
    m_buffered = 0;
}

bool HashDevice::hashData(const ByteArray& data, ByteArray& out, bool asText)
{
    Sha1 sha;
    sha.update(data);
    uint8_t digest[DigestSize];
    sha.finish(digest);
    ByteArray raw(digest, DigestSize);
    if (asText)
        Base64Device::base64Data(raw, out);
    else
        out = raw;
    return true;
}

bool HashDevice::hashFile(const wchar_t* path, ByteArray& out)
{
    ByteArray content;
    if (path == nullptr || !File::load(path, content, MaximumFileSize)) {
        out.release();
        return false;
    }
    return hashData(content, out, true);
}
