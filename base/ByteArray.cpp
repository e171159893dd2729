#include "base/ByteArray.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "base/Utf16.h"

namespace {

// Sizes are signed 32-bit, as on the wire; a sum beyond that cannot be held
// and counts as an allocation failure.
int32_t checkedSum(int32_t a, int32_t b) {
    int64_t sum = static_cast<int64_t>(a) + b;
    if (sum > std::numeric_limits<int32_t>::max())
        throw std::bad_alloc();
    return static_cast<int32_t>(sum);
}

} // namespace

ByteArray::ByteArray(const void* data, int32_t n) { appendData(data, n); }

ByteArray::ByteArray(const ByteArray& other) { appendData(other.m_data, other.m_size); }

ByteArray::ByteArray(ByteArray&& other) noexcept
    : m_data(other.m_data), m_size(other.m_size), m_capacity(other.m_capacity) {
    other.m_data = nullptr;
    other.m_size = 0;
    other.m_capacity = 0;
}

ByteArray::ByteArray(const std::wstring& text) { *this += text; }

ByteArray::~ByteArray() { delete[] m_data; }

ByteArray& ByteArray::operator=(const ByteArray& other) {
    if (this != &other)
        copyData(other.m_data, other.m_size);
    return *this;
}

ByteArray& ByteArray::operator=(ByteArray&& other) noexcept {
    if (this != &other) {
        delete[] m_data;
        m_data = other.m_data;
        m_size = other.m_size;
        m_capacity = other.m_capacity;
        other.m_data = nullptr;
        other.m_size = 0;
        other.m_capacity = 0;
    }
    return *this;
}

ByteArray ByteArray::operator+(const ByteArray& other) const {
    ByteArray sum;
    sum.ensure(checkedSum(m_size, other.m_size));
    sum.appendData(m_data, m_size);
    sum.appendData(other.m_data, other.m_size);
    return sum;
}

ByteArray& ByteArray::operator+=(const ByteArray& other) {
    appendData(other.m_data, other.m_size);
    return *this;
}

ByteArray& ByteArray::operator+=(const std::wstring& text) {
    size_t units = Utf16::unitCount(text);
    if (units == 0)
        return *this;
    if (units > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2))
        throw std::bad_alloc();
    int32_t bytes = static_cast<int32_t>(units * 2);
    int32_t needed = checkedSum(m_size, bytes);
    if (needed > m_capacity)
        ensure(needed);
    Utf16::writeLE(text, m_data + m_size);
    m_size = needed;
    return *this;
}

ByteArray& ByteArray::operator+=(int value) { return *this += static_cast<unsigned int>(value); }

ByteArray& ByteArray::operator+=(unsigned int value) {
    uint32_t v = value;
    const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                              static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    appendData(bytes, 4);
    return *this;
}

bool ByteArray::operator==(const ByteArray& other) const {
    if (m_size != other.m_size)
        return false;
    // Equal sizes of 0 are equal whether or not either side still holds a block.
    return m_size == 0 || std::memcmp(m_data, other.m_data, static_cast<size_t>(m_size)) == 0;
}

uint8_t* ByteArray::getBuffer(int32_t n) {
    if (n < 0)
        n = 0;
    if (n != m_size) {
        release();
        if (n > 0) {
            m_data = new uint8_t[static_cast<size_t>(n)]();
            m_size = n;
            m_capacity = n;
        }
    }
    return m_data;
}

void ByteArray::copyData(const void* data, int32_t n) {
    if (data == nullptr || n <= 0) {
        m_size = 0;
        return;
    }
    if (data == m_data && n <= m_size) {
        m_size = n;
        return;
    }
    if (n > m_capacity) {
        // The source may lie inside the old block: copy before freeing it.
        uint8_t* block = new uint8_t[static_cast<size_t>(n)];
        std::memcpy(block, data, static_cast<size_t>(n));
        delete[] m_data;
        m_data = block;
        m_capacity = n;
    } else {
        std::memmove(m_data, data, static_cast<size_t>(n));
    }
    m_size = n;
}

void ByteArray::appendData(const void* data, int32_t n) {
    if (data == nullptr || n <= 0)
        return;
    int32_t needed = checkedSum(m_size, n);
    if (needed > m_capacity) {
        // Grow to exactly what is needed (callers reserve beforehand), and
        // keep the old block until the source, which may lie inside it, has
        // been copied.
        uint8_t* block = new uint8_t[static_cast<size_t>(needed)];
        if (m_size > 0)
            std::memcpy(block, m_data, static_cast<size_t>(m_size));
        std::memcpy(block + m_size, data, static_cast<size_t>(n));
        delete[] m_data;
        m_data = block;
        m_capacity = needed;
    } else {
        std::memmove(m_data + m_size, data, static_cast<size_t>(n));
    }
    m_size = needed;
}

void ByteArray::ensure(int32_t n) {
    if (n <= 0 || m_capacity > n)
        return;
    uint8_t* block = new uint8_t[static_cast<size_t>(n)];
    if (m_size > 0)
        std::memcpy(block, m_data, static_cast<size_t>(m_size));
    delete[] m_data;
    m_data = block;
    m_capacity = n;
}

void ByteArray::resize(int32_t n) {
    if (n <= 0) {
        release();
        return;
    }
    uint8_t* block = new uint8_t[static_cast<size_t>(n)]();
    if (m_size > 0)
        std::memcpy(block, m_data, static_cast<size_t>(std::min(m_size, n)));
    delete[] m_data;
    m_data = block;
    m_size = n;
    m_capacity = n;
}

void ByteArray::release() {
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
}

void ByteArray::clear() { m_size = 0; }

std::wstring ByteArray::a2w() const {
    std::wstring text;
    text.reserve(static_cast<size_t>(m_size));
    for (int32_t i = 0; i < m_size; ++i)
        text += static_cast<wchar_t>(m_data[i]);
    return text;
}

std::wstring ByteArray::w2w() const {
    if (m_size < 2)
        return std::wstring();
    return Utf16::readLE(m_data, static_cast<size_t>(m_size / 2));
}

void ByteArray::xorWith(const ByteArray& other) {
    int32_t n = std::min(m_size, other.m_size);
    for (int32_t i = 0; i < n; ++i)
        m_data[i] ^= other.m_data[i];
}
