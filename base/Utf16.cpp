#include "base/Utf16.h"

#include <algorithm>
#include <cstring>

#include "base/LittleEndian.h"

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

inline bool isHighSurrogate(uint32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
inline bool isLowSurrogate(uint32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

// wchar_t is signed on some native targets: look at the value as unsigned so
// that a negative one is treated as out of range rather than as a small code.
inline uint32_t value(wchar_t c)
{
    return kWideIsUtf16 ? static_cast<uint16_t>(c) : static_cast<uint32_t>(c);
}

// Yields the code units of a wide string one at a time.
class UnitReader {
public:
    explicit UnitReader(const std::wstring& text)
        : m_p(text.data()), m_end(text.data() + text.size())
    {}

    bool next(uint16_t& unit)
    {
        if (m_pending != 0) {
            unit = m_pending;
            m_pending = 0;
            return true;
        }
        if (m_p == m_end)
            return false;
        uint32_t c = value(*m_p++);
        if (c <= 0xFFFF) {
            unit = static_cast<uint16_t>(c);
        } else if (c <= 0x10FFFF) {
            c -= 0x10000;
            unit = static_cast<uint16_t>(0xD800 + (c >> 10));
            m_pending = static_cast<uint16_t>(0xDC00 + (c & 0x3FF)); // never 0
        } else {
            unit = 0xFFFD;
        }
        return true;
    }

private:
    const wchar_t* m_p;
    const wchar_t* m_end;
    uint16_t m_pending = 0;
};

// Decodes the UTF-8 sequence starting at i and moves i past it. Malformed
// or overlong input and encoded surrogates give U+FFFD for one byte, so
// decoding always advances.
uint32_t decodeUtf8(const std::string& s, size_t& i)
{
    const uint32_t replacement = 0xFFFD;
    const unsigned char b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    size_t extra;
    uint32_t cp;
    uint32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
        minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
        minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
        minimum = 0x10000;
    } else {
        ++i;
        return replacement;
    }
    if (i + extra >= s.size()) {
        ++i;
        return replacement;
    }
    for (size_t k = 1; k <= extra; ++k) {
        const unsigned char b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return replacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || isHighSurrogate(cp) || isLowSurrogate(cp)) {
        ++i;
        return replacement;
    }
    i += extra + 1;
    return cp;
}

void appendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

namespace Utf16 {

size_t unitCount(const std::wstring& text)
{
    if (kWideIsUtf16)
        return text.size();
    // Only code points above U+FFFF take a second unit; the loop has no
    // branch, so it runs as a vector loop.
    size_t extra = 0;
    for (wchar_t c : text)
        extra += (value(c) - 0x10000u) <= 0xFFFFFu;
    return text.size() + extra;
}

size_t writeLE(const std::wstring& text, uint8_t* out)
{
    const size_t n = text.size();
    const wchar_t* chars = text.data();
    if (kWideIsUtf16) {
        for (size_t i = 0; i < n; ++i)
            LittleEndian::writeU16(out + 2 * i, static_cast<uint16_t>(chars[i]));
        return 2 * n;
    }
    // Text within the Basic Multilingual Plane, nearly all of it, is one unit
    // per character: a plain narrowing copy.
    uint32_t widest = 0;
    for (size_t i = 0; i < n; ++i)
        widest = std::max(widest, value(chars[i]));
    if (widest <= 0xFFFF) {
        for (size_t i = 0; i < n; ++i)
            LittleEndian::writeU16(out + 2 * i, static_cast<uint16_t>(chars[i]));
        return 2 * n;
    }
    uint8_t* p = out;
    UnitReader reader(text);
    uint16_t u;
    while (reader.next(u)) {
        LittleEndian::writeU16(p, u);
        p += 2;
    }
    return static_cast<size_t>(p - out);
}

std::wstring readLE(const uint8_t* bytes, size_t count)
{
    std::wstring text;
    readLE(bytes, count, text);
    return text;
}

void readLE(const uint8_t* bytes, size_t count, std::wstring& text)
{
    text.assign(count, L'\0');
    wchar_t* chars = &text[0];
    if (kWideIsUtf16) {
        for (size_t i = 0; i < count; ++i)
            chars[i] = static_cast<wchar_t>(LittleEndian::readU16(bytes + 2 * i));
        return;
    }
    // Widen every unit, noting whether any was a surrogate; only then do
    // pairs have to be joined, which shortens the text.
    uint32_t surrogates = 0;
    for (size_t i = 0; i < count; ++i) {
        uint32_t u = LittleEndian::readU16(bytes + 2 * i);
        chars[i] = static_cast<wchar_t>(u);
        surrogates |= (u - 0xD800u) < 0x800u;
    }
    if (!surrogates)
        return;
    size_t out = 0;
    for (size_t i = 0; i < count; ++i) {
        uint32_t u = LittleEndian::readU16(bytes + 2 * i);
        if (isHighSurrogate(u) && i + 1 < count) {
            uint32_t low = LittleEndian::readU16(bytes + 2 * i + 2);
            if (isLowSurrogate(low)) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        chars[out++] = static_cast<wchar_t>(u);
    }
    text.resize(out);
}

std::u16string toUnits(const std::wstring& text)
{
    std::u16string units;
    units.reserve(text.size());
    UnitReader reader(text);
    uint16_t u;
    while (reader.next(u))
        units += static_cast<char16_t>(u);
    return units;
}

std::wstring fromUnits(const std::u16string& units)
{
    std::wstring text;
    text.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t u = static_cast<uint16_t>(units[i]);
        if (!kWideIsUtf16 && isHighSurrogate(u) && i + 1 < units.size() &&
            isLowSurrogate(static_cast<uint16_t>(units[i + 1]))) {
            u = 0x10000 + ((u - 0xD800) << 10) + (static_cast<uint16_t>(units[i + 1]) - 0xDC00);
            ++i;
        }
        text += static_cast<wchar_t>(u);
    }
    return text;
}

int compare(const std::wstring& a, const std::wstring& b)
{
    if (kWideIsUtf16) {
        // wchar_t is an unsigned 16-bit type here: the string's own order is
        // already code-unit order.
        return a.compare(b);
    }
    // Up to the first difference the units are the same too. There, two
    // characters within the Basic Multilingual Plane compare as their units;
    // only a character above it needs the unit by unit walk.
    const size_t shorter = std::min(a.size(), b.size());
    const auto diff = std::mismatch(a.data(), a.data() + shorter, b.data());
    const size_t at = static_cast<size_t>(diff.first - a.data());
    if (at == shorter) {
        if (a.size() == b.size())
            return 0;
        return a.size() < b.size() ? -1 : 1;
    }
    const uint32_t ca = value(a[at]), cb = value(b[at]);
    if (ca <= 0xFFFF && cb <= 0xFFFF)
        return ca < cb ? -1 : 1;
    UnitReader ra(a), rb(b);
    for (;;) {
        uint16_t ua, ub;
        bool ha = ra.next(ua);
        bool hb = rb.next(ub);
        if (!ha || !hb)
            return ha ? 1 : (hb ? -1 : 0);
        if (ua != ub)
            return ua < ub ? -1 : 1;
    }
}

std::string toUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    UnitReader reader(text);
    uint16_t u;
    bool have = reader.next(u);
    while (have) {
        uint32_t c = u;
        have = reader.next(u);
        if (isHighSurrogate(c) && have && isLowSurrogate(u)) {
            c = 0x10000 + ((c - 0xD800) << 10) + (u - 0xDC00);
            have = reader.next(u);
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::wstring fromUtf8(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        uint32_t c = decodeUtf8(text, i);
        if (kWideIsUtf16 && c > 0xFFFF) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

} // namespace Utf16
