#include "shared/server/HashDevice.h"

#include <cstring>

#include "base/File.h"
#include "shared/server/Base64Device.h"

namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

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
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = loadBigEndian(block + 4 * i);
    for (int i = 16; i < 80; ++i)
        w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3], e = m_state[4];
    auto round = [&](uint32_t f, uint32_t k, uint32_t wi) {
        uint32_t t = rotl(a, 5) + f + e + k + wi;
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = t;
    };
    int i = 0;
    for (; i < 20; ++i) round((b & c) | (~b & d), 0x5A827999u, w[i]);
    for (; i < 40; ++i) round(b ^ c ^ d, 0x6ED9EBA1u, w[i]);
    for (; i < 60; ++i) round((b & c) | (b & d) | (c & d), 0x8F1BBCDCu, w[i]);
    for (; i < 80; ++i) round(b ^ c ^ d, 0xCA62C1D6u, w[i]);

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
