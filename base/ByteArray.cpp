#include "base/ByteArray.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "base/LittleEndian.h"
#include "base/Utf16.h"

namespace {

// Sizes are signed 32-bit, as on the wire; a sum beyond that cannot be held
// and counts as an allocation failure.
int32_t checkedSum(int32_t a, int32_t b)
{
    int64_t sum = static_cast<int64_t>(a) + b;
    if (sum > std::numeric_limits<int32_t>::max())
        throw std::bad_alloc();
    return static_cast<int32_t>(sum);
}

} // namespace

ByteArray::ByteArray(const void* data, int32_t n)
{
    appendData(data, n);
}

ByteArray::ByteArray(const ByteArray& other)
{
    appendData(other.getData(), other.m_size);
}

ByteArray::ByteArray(ByteArray&& other) noexcept
    : m_data(std::move(other.m_data)), m_size(other.m_size), m_capacity(other.m_capacity)
{
    other.m_size = 0;
    other.m_capacity = 0;
}

ByteArray::ByteArray(const std::wstring& text)
{
    *this += text;
}

ByteArray::~ByteArray() = default;

ByteArray& ByteArray::operator=(const ByteArray& other)
{
    if (this != &other)
        copyData(other.getData(), other.m_size);
    return *this;
}

ByteArray& ByteArray::operator=(ByteArray&& other) noexcept
{
    if (this != &other) {
        m_data = std::move(other.m_data);
        m_size = other.m_size;
        m_capacity = other.m_capacity;
        other.m_size = 0;
        other.m_capacity = 0;
    }
    return *this;
}

ByteArray ByteArray::operator+(const ByteArray& other) const
{
    ByteArray sum;
    sum.ensure(checkedSum(m_size, other.m_size));
    sum.appendData(getData(), m_size);
    sum.appendData(other.getData(), other.m_size);
    return sum;
}

ByteArray& ByteArray::operator+=(const ByteArray& other)
{
    appendData(other.getData(), other.m_size);
    return *this;
}

ByteArray& ByteArray::operator+=(const std::wstring& text)
{
    size_t units = Utf16::unitCount(text);
    if (units == 0)
        return *this;
    if (units > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2))
        throw std::bad_alloc();
    Utf16::writeLE(text, extend(static_cast<int32_t>(units * 2)));
    return *this;
}

ByteArray& ByteArray::operator+=(int value)
{
    return *this += static_cast<unsigned int>(value);
}

ByteArray& ByteArray::operator+=(unsigned int value)
{
    uint8_t bytes[4];
    LittleEndian::writeU32(bytes, value);
    appendData(bytes, 4);
    return *this;
}

bool ByteArray::operator==(const ByteArray& other) const
{
    if (m_size != other.m_size)
        return false;
    // Equal sizes of 0 are equal whether or not either side still holds a block.
    return m_size == 0 || std::memcmp(getData(), other.getData(), static_cast<size_t>(m_size)) == 0;
}

std::unique_ptr<uint8_t[]> ByteArray::regrow(int32_t capacity, int32_t keep, bool zeroed)
{
    std::unique_ptr<uint8_t[]> block(zeroed ? new uint8_t[static_cast<size_t>(capacity)]()
                                            : new uint8_t[static_cast<size_t>(capacity)]);
    if (keep > 0)
        std::memcpy(block.get(), m_data.get(), static_cast<size_t>(keep));
    m_data.swap(block);
    m_capacity = capacity;
    return block;
}

uint8_t* ByteArray::getBuffer(int32_t n)
{
    if (n < 0)
        n = 0;
    if (n != m_size) {
        release();
        if (n > 0) {
            regrow(n, 0, true);
            m_size = n;
        }
    }
    return getData();
}

void ByteArray::copyData(const void* data, int32_t n)
{
    if (data == nullptr || n <= 0) {
        m_size = 0;
        return;
    }
    if (data == getData() && n <= m_size) {
        m_size = n;
        return;
    }
    // The source may lie inside the old block: it lives until the copy is made.
    std::unique_ptr<uint8_t[]> old;
    if (n > m_capacity)
        old = regrow(n, 0, false);
    std::memmove(getData(), data, static_cast<size_t>(n));
    m_size = n;
}

void ByteArray::appendData(const void* data, int32_t n)
{
    if (data == nullptr || n <= 0)
        return;
    const int32_t size = m_size;
    // Grows to exactly what is needed (callers reserve beforehand); the old
    // block, where the source may lie, lives until the copy is made.
    std::unique_ptr<uint8_t[]> old;
    const int32_t needed = checkedSum(size, n);
    if (needed > m_capacity)
        old = regrow(needed, size, false);
    std::memmove(getData() + size, data, static_cast<size_t>(n));
    m_size = needed;
}

uint8_t* ByteArray::extend(int32_t n)
{
    const int32_t size = m_size;
    if (n <= 0)
        return getData() + size;
    const int32_t needed = checkedSum(size, n);
    if (needed > m_capacity)
        regrow(needed, size, false);
    m_size = needed;
    return getData() + size;
}

void ByteArray::ensure(int32_t n)
{
    if (n <= 0 || m_capacity > n)
        return;
    regrow(n, m_size, false);
}

void ByteArray::resize(int32_t n)
{
    if (n <= 0) {
        release();
        return;
    }
    regrow(n, std::min(m_size, n), true);
    m_size = n;
}

void ByteArray::release()
{
    m_data.reset();
    m_size = 0;
    m_capacity = 0;
}

void ByteArray::clear()
{
    m_size = 0;
}

std::wstring ByteArray::a2w() const
{
    return std::wstring(getData(), getData() + m_size);
}

std::wstring ByteArray::w2w() const
{
    if (m_size < 2)
        return std::wstring();
    return Utf16::readLE(getData(), static_cast<size_t>(m_size / 2));
}

void ByteArray::xorWith(const ByteArray& other)
{
    int32_t n = std::min(m_size, other.m_size);
    for (int32_t i = 0; i < n; ++i)
        m_data[i] ^= other.m_data[i];
}
