#include <gtest/gtest.h>

#include <string>

#include "SecurityTestSupport.h"
#include "shared/server/Base64Device.h"

using namespace securitytest;

namespace {

const std::pair<const char*, const char*> Rfc4648Vectors[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

std::string decode(const std::string& text)
{
    ByteArray out = fromText("stale");
    Base64Device::unBase64Data(text, out);
    return toText(out);
}

TEST(Base64DeviceTest, EncodesTheRfc4648Vectors)
{
    for (const auto& v : Rfc4648Vectors) {
        std::string narrow = "x";
        std::wstring wide = L"x";
        ByteArray bytes = fromText("stale");
        Base64Device::base64Data(fromText(v.first), narrow);
        Base64Device::base64Data(fromText(v.first), wide);
        Base64Device::base64Data(fromText(v.first), bytes);
        EXPECT_EQ(narrow, v.second);
        EXPECT_EQ(wide, std::wstring(v.second, v.second + std::string(v.second).size()));
        EXPECT_EQ(toText(bytes), v.second);
    }
}

TEST(Base64DeviceTest, DecodesTheRfc4648VectorsFromEveryTextForm)
{
    for (const auto& v : Rfc4648Vectors) {
        std::string text = v.second;
        EXPECT_EQ(decode(text), v.first);
        ByteArray out = fromText("stale");
        Base64Device::unBase64Data(fromText(text), out);
        EXPECT_EQ(toText(out), v.first);
        out = fromText("stale");
        Base64Device::unBase64Data(std::wstring(text.begin(), text.end()), out);
        EXPECT_EQ(toText(out), v.first);
    }
}

TEST(Base64DeviceTest, RoundTripsEveryByteValueAndLength)
{
    for (int n = 0; n < 70; ++n) {
        ByteArray data = randomBytes(static_cast<uint32_t>(n + 1000), n);
        ByteArray text, back;
        Base64Device::base64Data(data, text);
        EXPECT_EQ(text.getSize(), Base64Device::encodedSize(n));
        Base64Device::unBase64Data(text, back);
        EXPECT_EQ(toHex(back), toHex(data)) << n;
    }
}

TEST(Base64DeviceTest, SameArrayMayBeSourceAndDestination)
{
    ByteArray a = fromText("foobar");
    Base64Device::base64Data(a, a);
    EXPECT_EQ(toText(a), "Zm9vYmFy");
    Base64Device::unBase64Data(a, a);
    EXPECT_EQ(toText(a), "foobar");
}

TEST(Base64DeviceTest, LeadingPlusBlankIsSkipped)
{
    EXPECT_EQ(decode("+ Zm9vYmFy"), "foobar");
    // Only the pair: a lone leading "+" is an alphabet character.
    EXPECT_EQ(decode("+Zm9"), std::string("\xf9\x99\xbd", 3));
}

TEST(Base64DeviceTest, CarriageReturnOrNulAfterAGroupEndsTheText)
{
    EXPECT_EQ(decode("\rZm9v"), "");
    EXPECT_EQ(decode("Zm9v\r\nYmFy"), "foo");
    EXPECT_EQ(decode(std::string("Zm9v\0YmFy", 9)), "foo");
    EXPECT_EQ(decode("Zm9vYmFy\r\n"), "foobar");
}

TEST(Base64DeviceTest, GroupEndingInPaddingEndsTheText)
{
    EXPECT_EQ(decode("Zm8=Zm9v"), "fo");
    EXPECT_EQ(decode("Zg==!!!!"), "f");
}

TEST(Base64DeviceTest, AnythingElseOutsideTheAlphabetEmptiesTheResult)
{
    for (const char* bad : {"Zm9v!mFy", "Zm9vYmF", "Zm9vYmFyZ", "Zm9v\nYmFy", "Zm 9v", "=m9v",
                            "Z=9v", "Zm=v", "Zm9v-_==", "Zm9v ", "\nZm9v"}) {
        EXPECT_EQ(decode(bad), "") << bad;
        ByteArray out = fromText("stale");
        Base64Device::unBase64Data(fromText(bad), out);
        EXPECT_EQ(out.getSize(), 0) << bad;
    }
}

// Narrowing must not turn a wide character into an alphabet letter
// (U+0141 would become "A" if the high byte were simply dropped).
TEST(Base64DeviceTest, WideCharactersBeyondAsciiEmptyTheResult)
{
    ByteArray out = fromText("stale");
    Base64Device::unBase64Data(std::wstring(L"Zm9v\u0141mFy"), out);
    EXPECT_EQ(out.getSize(), 0);
    Base64Device::unBase64Data(std::wstring(L"Zm9v\u0159mFy"), out);
    EXPECT_EQ(out.getSize(), 0);
}

} // namespace
