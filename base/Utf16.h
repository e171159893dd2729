#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/TCBaseApi.h"

// The byte boundary for text. On Windows a std::wstring already holds UTF-16
// code units; natively it holds code points. Everything that leaves the
// process (wire form, files) and every ordering of attribute names goes
// through these functions, so that both builds produce the same bytes.
//
// Natively, a code point above U+FFFF becomes a surrogate pair; a surrogate
// stored on its own stays that one code unit; a value that is no code point
// at all (above U+10FFFF) becomes U+FFFD. Decoding joins a high surrogate
// followed by a low one into one code point and keeps unpaired surrogates as
// they are.
namespace Utf16 {

// Number of UTF-16 code units the text takes.
TCBASE_API size_t unitCount(const std::wstring& text);

// Writes the code units little-endian to out, which must have room for
// 2 * unitCount(text) bytes. Returns the number of bytes written.
TCBASE_API size_t writeLE(const std::wstring& text, uint8_t* out);

// The text made of the unitCount code units stored little-endian at bytes.
TCBASE_API std::wstring readLE(const uint8_t* bytes, size_t unitCount);
// The same into out, replacing its content and reusing its block.
TCBASE_API void readLE(const uint8_t* bytes, size_t unitCount, std::wstring& out);

// The text's code units, and the text made of code units.
TCBASE_API std::u16string toUnits(const std::wstring& text);
TCBASE_API std::wstring fromUnits(const std::u16string& units);

// Plain comparison of the two texts' code units: negative, zero or positive.
// Where one is a prefix of the other the shorter comes first. This is the
// order of attribute names on the wire; it differs from code-point order
// (a character above U+FFFF sorts before U+E000..U+FFFF).
TCBASE_API int compare(const std::wstring& a, const std::wstring& b);

struct Less {
    bool operator()(const std::wstring& a, const std::wstring& b) const
    {
        return compare(a, b) < 0;
    }
};

// The text as UTF-8 (for people, and natively for the system's names and
// paths). Unpaired surrogates become U+FFFD.
TCBASE_API std::string toUtf8(const std::wstring& text);

// UTF-8 to text. Each byte that does not begin a well-formed character
// (malformed, overlong or cut-off input, an encoded surrogate) becomes one
// U+FFFD, so decoding always moves on.
TCBASE_API std::wstring fromUtf8(const std::string& text);

} // namespace Utf16
