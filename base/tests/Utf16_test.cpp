#include "base/Utf16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "WideChars.h"

namespace {

using texttest::chars;

class Utf16Test : public ::testing::Test {
protected:
    static std::vector<uint8_t> encode(const std::wstring& text)
    {
        // Pre-filled so that bytes the encoder fails to write show up.
        std::vector<uint8_t> out(2 * Utf16::unitCount(text) + 2, 0xEE);
        size_t written = Utf16::writeLE(text, out.data());
        EXPECT_EQ(2 * Utf16::unitCount(text), written);
        EXPECT_EQ(0xEE, out[written]) << "wrote past the end";
        out.resize(written);
        return out;
    }
};

TEST_F(Utf16Test, CharactersBeyondTheBasicPlaneBecomeSurrogatePairs)
{
    // U+1F600 is D83D DE00 in UTF-16; the literal is one wchar_t natively and
    // two on Windows, and both must give the same bytes.
    const std::wstring text = L"A\U0001F600\u00E9";
    EXPECT_EQ(4u, Utf16::unitCount(text));
    EXPECT_EQ((std::vector<uint8_t>{0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0xE9, 0x00}), encode(text));
    EXPECT_EQ(u"A\U0001F600\u00E9", Utf16::toUnits(text));
}

TEST_F(Utf16Test, SurrogatePairsOnTheWireBecomeOneCharacterAgain)
{
    const uint8_t bytes[] = {0x3D, 0xD8, 0x00, 0xDE, 0x42, 0x00};
    EXPECT_EQ(std::wstring(L"\U0001F600B"), Utf16::readLE(bytes, 3));
    EXPECT_EQ(std::wstring(L"\U0001F600B"), Utf16::fromUnits(u"\U0001F600B"));
}

TEST_F(Utf16Test, UnpairedSurrogatesSurviveBothWays)
{
    // A high surrogate before an ordinary character, a low one first, and a
    // high one at the very end.
    const uint8_t bytes[] = {0x3D, 0xD8, 0x41, 0x00, 0x00, 0xDE, 0x3D, 0xD8};
    const std::wstring text = Utf16::readLE(bytes, 4);
    EXPECT_EQ(chars({0xD83D, 0x41, 0xDE00, 0xD83D}), text);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + sizeof bytes), encode(text));
    // A low surrogate followed by a high one is not a pair.
    const uint8_t reversed[] = {0x00, 0xDE, 0x3D, 0xD8};
    EXPECT_EQ(chars({0xDE00, 0xD83D}), Utf16::readLE(reversed, 2));
}

TEST_F(Utf16Test, NamesCompareByCodeUnitsNotByCodePoints)
{
    // In code-point order U+FF21 < U+1F600; in UTF-16 the pair starts with
    // D83D, which is below FF21, so the emoji sorts first. The same holds
    // for every character from U+E000 up.
    EXPECT_LT(Utf16::compare(L"\U0001F600", L"\uFF21"), 0);
    EXPECT_GT(Utf16::compare(L"\uE000", L"\U00010000"), 0);
    EXPECT_LT(Utf16::compare(L"\uD7FF", L"\U00010000"), 0);
    // Two pairs with the same high surrogate are told apart by the low one.
    EXPECT_LT(Utf16::compare(L"\U0001F600", L"\U0001F601"), 0);
    // A lone high surrogate followed by more text, against the full pair.
    EXPECT_LT(Utf16::compare(chars({0xD83D, 0x41}), L"\U0001F600"), 0);

    Utf16::Less less;
    EXPECT_TRUE(less(L"Msg", L"MsgType")); // a prefix comes first
    EXPECT_FALSE(less(L"MsgType", L"Msg"));
    EXPECT_FALSE(less(L"MsgType", L"MsgType"));
    EXPECT_EQ(0, Utf16::compare(L"", L""));
    EXPECT_LT(Utf16::compare(L"", L"a"), 0);
    EXPECT_LT(Utf16::compare(L"Z", L"a"), 0); // no case folding
    EXPECT_LT(Utf16::compare(L"\u00FF", L"\u0100"), 0);
}

TEST_F(Utf16Test, Utf8JoinsPairsAndReplacesLoneSurrogates)
{
    EXPECT_EQ("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", Utf16::toUtf8(L"a\u00E9\u20AC\U0001F600"));
    EXPECT_EQ("\xEF\xBF\xBD"
              "x"
              "\xEF\xBF\xBD",
              Utf16::toUtf8(chars({0xDE00, 0x78, 0xD83D})));
    EXPECT_EQ(std::string("\0", 1), Utf16::toUtf8(std::wstring(1, L'\0')));
    EXPECT_EQ("\xF4\x8F\xBF\xBF", Utf16::toUtf8(L"\U0010FFFF"));
}

TEST_F(Utf16Test, Utf8DecodesEveryPlaneAsTheBuildHoldsText)
{
    // A character above U+FFFF is a surrogate pair where wchar_t is 16 bits.
    const std::wstring text = Utf16::fromUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(std::wstring(L"a\u00E9\u20AC\U0001F600"), text);
    EXPECT_EQ(5u, Utf16::unitCount(text));
    EXPECT_EQ(std::wstring(L"\U0010FFFF"), Utf16::fromUtf8("\xF4\x8F\xBF\xBF"));
    EXPECT_EQ(std::wstring(1, L'\0'), Utf16::fromUtf8(std::string("\0", 1)));
    EXPECT_EQ(std::wstring(), Utf16::fromUtf8(""));
}

TEST_F(Utf16Test, Utf8BytesThatBeginNoCharacterBecomeOneReplacementEach)
{
    const wchar_t r = 0xFFFD;
    const std::wstring expected[] = {
        std::wstring{L'x', r, L'y'},    // a byte that never begins a character
        std::wstring{L'a', L'b', r, r}, // a three-byte sequence cut off
        std::wstring{r, r},             // "/" encoded in two bytes (overlong)
        std::wstring{r, r, r},          // U+D800 encoded: a surrogate
        std::wstring{r, r, r, r},       // above U+10FFFF
        std::wstring{r, L'A'},          // a lead byte followed by no continuation
    };
    const std::string inputs[] = {"x\xFFy",
                                  "ab\xE2\x82",
                                  "\xC0\xAF",
                                  "\xED\xA0\x80",
                                  "\xF4\x90\x80\x80",
                                  "\xC3"
                                  "A"};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(expected[i], Utf16::fromUtf8(inputs[i])) << i;
}

TEST_F(Utf16Test, Utf8RoundTripsWhatItEncodes)
{
    const std::wstring text = chars({0x41, 0x7FF, 0x800, 0xFFFD, 0xFFFF});
    EXPECT_EQ(text, Utf16::fromUtf8(Utf16::toUtf8(text)));
    EXPECT_EQ(std::wstring(L"\U00010000\U0001F600"),
              Utf16::fromUtf8(Utf16::toUtf8(L"\U00010000\U0001F600")));
}

} // namespace

namespace {

// A text of n characters drawn from a mix where the rare kinds (surrogates,
// characters beyond the Basic Plane, values that are no code point) turn up.
std::wstring mixedText(uint32_t& seed, size_t n, bool basicOnly)
{
    static const uint32_t pool[] = {0x41,   0x61,    0x7A,    0xE9,     0x2014,
                                    0xD7FF, 0xE000,  0xFF21,  0xFFFF,   0xD83D,
                                    0xDE00, 0x10000, 0x1F600, 0x10FFFF, 0x110000};
    const size_t kinds = basicOnly ? 9 : sizeof pool / sizeof pool[0];
    std::wstring text;
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        uint32_t v = pool[(seed >> 16) % kinds];
        if (sizeof(wchar_t) == 2 && v > 0xFFFF) {
            // A 16-bit wchar_t holds such a character as its pair.
            if (v > 0x10FFFF) {
                text += static_cast<wchar_t>(0xFFFD);
            } else {
                text += static_cast<wchar_t>(0xD800 + ((v - 0x10000) >> 10));
                text += static_cast<wchar_t>(0xDC00 + ((v - 0x10000) & 0x3FF));
            }
            continue;
        }
        text += static_cast<wchar_t>(v);
    }
    return text;
}

TEST_F(Utf16Test, CompareAgreesWithTheOrderOfTheUnitsForMixedText)
{
    // std::u16string compares code units as unsigned 16-bit values: the
    // order names must have, computed without Utf16::compare.
    uint32_t seed = 7;
    for (int round = 0; round < 4000; ++round) {
        const bool basic = round % 2 == 0;
        std::wstring a = mixedText(seed, seed % 5, basic);
        std::wstring b = round % 3 == 0 ? a : a.substr(0, seed % (a.size() + 1));
        b += mixedText(seed, seed % 4, basic);
        const std::u16string ua = Utf16::toUnits(a), ub = Utf16::toUnits(b);
        const int expected = ua < ub ? -1 : (ub < ua ? 1 : 0);
        const int got = Utf16::compare(a, b);
        ASSERT_EQ(expected, got < 0 ? -1 : (got > 0 ? 1 : 0)) << round;
    }
}

TEST_F(Utf16Test, LongTextsRoundTripWithAndWithoutSurrogates)
{
    uint32_t seed = 99;
    for (int round = 0; round < 200; ++round) {
        const std::wstring text = mixedText(seed, 1 + seed % 300, round % 2 == 0);
        const std::u16string units = Utf16::toUnits(text);
        ASSERT_EQ(units.size(), Utf16::unitCount(text));
        const std::vector<uint8_t> bytes = encode(text);
        for (size_t i = 0; i < units.size(); ++i)
            ASSERT_EQ(units[i], bytes[2 * i] | (bytes[2 * i + 1] << 8)) << round << " " << i;
        EXPECT_EQ(Utf16::fromUnits(units), Utf16::readLE(bytes.data(), units.size())) << round;
    }
}

TEST_F(Utf16Test, ReadingIntoAStringReplacesWhatItHeld)
{
    std::wstring target(40, L'x');
    const uint8_t pair[] = {0x3D, 0xD8, 0x00, 0xDE, 0x42, 0x00};
    Utf16::readLE(pair, 3, target);
    EXPECT_EQ(std::wstring(L"\U0001F600B"), target);
    const uint8_t plain[] = {0x43, 0x00};
    Utf16::readLE(plain, 1, target);
    EXPECT_EQ(std::wstring(L"C"), target);
    Utf16::readLE(plain, 0, target);
    EXPECT_EQ(std::wstring(), target);
}

} // namespace
