#include "base/Utf16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "WideChars.h"
#include "base/Msg.h"

// Natively a wide string holds code points in a 32-bit wchar_t, which can
// hold values that UTF-16 cannot, and can hold a pair's two halves apart.
namespace {

using texttest::chars;

static_assert(sizeof(wchar_t) == 4, "native builds hold code points in wchar_t");

class Utf16NativeTest : public ::testing::Test {};

TEST_F(Utf16NativeTest, ValuesThatAreNoCodePointBecomeReplacementCharacters)
{
    const std::wstring text = chars({0x110000, 0x41, 0xFFFFFFFF});
    EXPECT_EQ(3u, Utf16::unitCount(text));
    EXPECT_EQ(std::u16string(u"\uFFFDA\uFFFD"), Utf16::toUnits(text));
    uint8_t out[8];
    std::memset(out, 0xEE, sizeof out);
    ASSERT_EQ(6u, Utf16::writeLE(text, out));
    const uint8_t expected[8] = {0xFD, 0xFF, 0x41, 0x00, 0xFD, 0xFF, 0xEE, 0xEE};
    EXPECT_EQ(0, std::memcmp(expected, out, sizeof out));
}

TEST_F(Utf16NativeTest, SeparatelyStoredHalvesAreTheSameNameAsTheirCharacter)
{
    EXPECT_EQ(0, Utf16::compare(chars({0xD83D, 0xDE00}), L"\U0001F600"));
    Msg msg;
    msg.setAttributeValue(chars({0xD83D, 0xDE00}), 1);
    msg.setAttributeValue(L"\U0001F600", 2);
    EXPECT_EQ(2, msg.getIntAttributeCount());
}

TEST_F(Utf16NativeTest, SizeRequirementAgreesWithTheBytesWritten)
{
    Msg msg;
    msg.setAttributeValue(chars({0x110000, 0xD800}), chars({0x1F600, 0xDC00, 0x7FFFFFFF}));
    ByteArray wire;
    msg.toByteArray(wire);
    // 8 + 4 elements * 8 + 4 + 2 * (7 + 2 + 4) code units
    EXPECT_EQ(70, msg.getSerializedSizeRequirement());
    EXPECT_EQ(70, wire.getSize());
    Msg parsed;
    parsed.fromByteArray(wire);
    ByteArray again;
    parsed.toByteArray(again);
    EXPECT_TRUE(again == wire);
}

} // namespace
