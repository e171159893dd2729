#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "base/TCBaseApi.h"

// An owned, growable byte buffer: the value of byte-array attributes and the
// form of every serialised message. Copies are deep; an empty array has no
// block. Sizes are signed 32-bit, as on the wire.
class TCBASE_API ByteArray {
public:
    ByteArray() = default;
    // Copies n bytes; a null pointer or n <= 0 gives an empty array.
    ByteArray(const void* data, int32_t n);
    ByteArray(const ByteArray& other);
    ByteArray(ByteArray&& other) noexcept;
    // The string's UTF-16 code units, little-endian, without a terminator.
    explicit ByteArray(const std::wstring& text);
    virtual ~ByteArray();

    ByteArray& operator=(const ByteArray& other);
    ByteArray& operator=(ByteArray&& other) noexcept;

    ByteArray operator+(const ByteArray& other) const;
    ByteArray& operator+=(const ByteArray& other);
    ByteArray& operator+=(const std::wstring& text); // UTF-16LE code units
    ByteArray& operator+=(int value);                // four bytes, LSB first
    ByteArray& operator+=(unsigned int value);

    bool operator==(const ByteArray& other) const;
    bool operator!=(const ByteArray& other) const { return !(*this == other); }

    int32_t getSize() const { return m_size; }
    int32_t getCapacity() const { return m_capacity; }
    uint8_t* getData() { return m_data.get(); }
    const uint8_t* getData() const { return m_data.get(); }

    // When n differs from the size: discards the content and allocates
    // exactly n bytes. Returns the block for the caller to fill.
    uint8_t* getBuffer(int32_t n);
    void copyData(const void* data, int32_t n);   // replaces the content
    void appendData(const void* data, int32_t n); // nothing for null or n <= 0
    // Adds n bytes (growing as appendData does) for the caller to fill, and
    // returns where they start.
    uint8_t* extend(int32_t n);
    // When the capacity is not greater than n, reallocates to exactly n
    // bytes, keeping the content.
    void ensure(int32_t n);
    // Reallocates to n bytes (content kept up to n); size and capacity become n.
    void resize(int32_t n);
    void release(); // frees the block
    void clear();   // size 0, block kept

    // One character per byte, each byte's value as the character code.
    std::wstring a2w() const;
    // size/2 UTF-16 code units (a trailing odd byte is ignored).
    std::wstring w2w() const;
    // XORs the first min(size, other size) bytes with other's. ("xor" itself
    // is a reserved token in C++.)
    void xorWith(const ByteArray& other);

private:
    // Moves the first keep bytes into a new block of exactly capacity bytes
    // (zero-filled if asked) and hands back the old block, so that a source
    // inside it stays readable until the caller is done.
    std::unique_ptr<uint8_t[]> regrow(int32_t capacity, int32_t keep, bool zeroed);

    std::unique_ptr<uint8_t[]> m_data;
    int32_t m_size = 0;
    int32_t m_capacity = 0;
};
