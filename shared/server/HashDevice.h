#pragma once
#include <cstddef>
#include <cstdint>

#include "base/ByteArray.h"
#include "shared/TCShrdApi.h"

// SHA-1 digests (FIPS 180-1). The queue signs its records with them, the
// system model fingerprints executables, and the security layer builds its
// keys and signatures on them.
class TCSHRD_API HashDevice {
public:
    static constexpr int DigestSize = 20;
    static constexpr int DigestTextSize = 28; // Base64 of 20 bytes, one "=" at the end

    // out = the 20 raw digest bytes of data, or their 28-character Base64
    // text when asText is true. Always true.
    static bool hashData(const ByteArray& data, ByteArray& out, bool asText);
    // Hashes at most the first 4 MiB of the file, as text. False (out empty)
    // when the file cannot be read.
    static bool hashFile(const wchar_t* path, ByteArray& out);

    static constexpr int MaximumFileSize = 4194304;
};

// Incremental SHA-1, for callers that hash data in pieces without first
// joining them (the security layer hashes data || key || salt).
class TCSHRD_API Sha1 {
public:
    Sha1() { reset(); }
    void reset();
    void update(const void* data, size_t length);
    void update(const ByteArray& data)
    {
        update(data.getData(), static_cast<size_t>(data.getSize()));
    }
    // Writes 20 bytes; the object must be reset before it is used again.
    void finish(uint8_t digest[HashDevice::DigestSize]);

private:
    void compress(const uint8_t* block);

    uint32_t m_state[5];
    uint64_t m_length; // bytes hashed so far
    uint8_t m_buffer[64];
    size_t m_buffered;
};
