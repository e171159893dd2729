#include "base/Msg.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "base/Exception.h"

namespace {

// Builds wire data by hand, without ByteArray or the UTF-16 helper, so that
// the expected bytes do not come from the code under test. Text is given as
// char16_t literals, whose code units the compiler produces.
class Wire {
public:
    Wire& i32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Wire& units(const std::u16string& text)
    {
        for (char16_t u : text) {
            m_bytes.push_back(static_cast<uint8_t>(u & 0xFF));
            m_bytes.push_back(static_cast<uint8_t>(u >> 8));
        }
        return *this;
    }
    Wire& raw(std::initializer_list<uint8_t> bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes);
        return *this;
    }
    Wire& str(const std::u16string& text) { return i32(2).i32(2 * text.size()).units(text); }
    Wire& integer(int32_t v) { return i32(1).i32(4).i32(static_cast<uint32_t>(v)); }
    Wire& bytes(std::initializer_list<uint8_t> data) { return i32(3).i32(data.size()).raw(data); }
    Wire& header() { return i32(1).i32(0); }

    // The data with the total length filled in from its actual size.
    ByteArray finish() const
    {
        std::vector<uint8_t> b = m_bytes;
        const uint32_t n = static_cast<uint32_t>(b.size());
        for (int i = 0; i < 4; ++i)
            b[4 + i] = static_cast<uint8_t>(n >> (8 * i));
        return ByteArray(b.data(), static_cast<int32_t>(b.size()));
    }
    // The data exactly as written.
    ByteArray asIs() const
    {
        return ByteArray(m_bytes.data(), static_cast<int32_t>(m_bytes.size()));
    }

private:
    std::vector<uint8_t> m_bytes;
};

std::vector<uint8_t> toVector(const ByteArray& a)
{
    return a.getSize() ? std::vector<uint8_t>(a.getData(), a.getData() + a.getSize())
                       : std::vector<uint8_t>();
}

class MsgTest : public ::testing::Test {
protected:
    static ByteArray serialise(const Msg& msg)
    {
        ByteArray out;
        msg.toByteArray(out);
        EXPECT_EQ(msg.getSerializedSizeRequirement(), out.getSize());
        return out;
    }

    // Parses data that must be rejected; returns the exception's fields.
    static void expectRejected(const ByteArray& data, int id, const std::wstring& description,
                               const std::wstring& function, Msg* target = nullptr)
    {
        Msg local;
        Msg& msg = target ? *target : local;
        try {
            msg.fromByteArray(data);
            ADD_FAILURE() << "parsed without error; expected " << id;
        } catch (const CommsException& e) {
            EXPECT_EQ(id, e.getExceptionID());
            EXPECT_EQ(Exception::CommsKind, e.getExceptionType());
            EXPECT_EQ(description, e.getDescription());
            EXPECT_EQ(function, std::wstring(e.getFunction()));
        }
    }

    // A message with attributes of every kind, non-ASCII and non-BMP text.
    static void fill(Msg& msg, bool reversed)
    {
        auto ints = [&] {
            msg.setAttributeValue(L"UserID", 1234);
            msg.setAttributeValue(L"\U0001F600", -1);
            msg.setAttributeValue(L"\uFF21", 0x7FFFFFFF);
        };
        auto strings = [&] {
            msg.setAttributeValue(L"ContextString1",
                                  std::wstring(L"R\u00E9sum\u00E9.docx \U0001F4C4"));
            msg.setAttributeValue(L"Empty", std::wstring());
            msg.setAttributeValue(L"UserID", std::wstring(L"same name, other map"));
        };
        auto arrays = [&] {
            const uint8_t data[] = {0, 1, 2, 0xFF};
            msg.setAttributeValue(L"ApplicationHash", new ByteArray(data, 4));
            msg.setAttributeValue(L"Nothing", new ByteArray());
        };
        if (reversed) {
            arrays();
            strings();
            ints();
            msg.setType(Msg::APPLICATION_CHANGE);
        } else {
            msg.setType(Msg::APPLICATION_CHANGE);
            ints();
            strings();
            arrays();
        }
    }
};

TEST_F(MsgTest, MinimalMessageIsFortyTwoBytes)
{
    Msg msg;
    msg.setType(Msg::PLUGIN_INFO);
    const ByteArray expected =
        Wire().i32(1).i32(42).i32(2).i32(14).units(u"MsgType").i32(1).i32(4).i32(12).asIs();
    EXPECT_EQ(toVector(expected), toVector(serialise(msg)));

    Msg fresh;
    const ByteArray wire = serialise(fresh);
    ASSERT_EQ(42, wire.getSize());
    EXPECT_EQ(0, wire.getData()[38]); // the type's value
    Msg parsed;
    parsed.setType(Msg::UPDATE);
    parsed.fromByteArray(wire);
    EXPECT_EQ(Msg::UNSPECIFIED, parsed.getType());
    EXPECT_EQ(1, parsed.getIntAttributeCount());
}

TEST_F(MsgTest, WireFormMatchesTheLayoutForEveryKind)
{
    Msg msg;
    msg.setAttributeValue(L"S", std::wstring(L"\U0001F600"));
    msg.setAttributeValue(L"B", new ByteArray(std::wstring(L"x")));
    const ByteArray expected = Wire()
                                   .header()
                                   .str(u"MsgType")
                                   .integer(0)
                                   .str(u"S")
                                   .str(u"\U0001F600")
                                   .str(u"B")
                                   .bytes({'x', 0})
                                   .finish();
    EXPECT_EQ(toVector(expected), toVector(serialise(msg)));
}

TEST_F(MsgTest, SerialiseParseSerialiseIsStableWhateverTheOrderOfSetting)
{
    Msg forward;
    Msg backward;
    fill(forward, false);
    fill(backward, true);
    const ByteArray a = serialise(forward);
    const ByteArray b = serialise(backward);
    EXPECT_EQ(toVector(a), toVector(b));

    Msg parsed;
    parsed.fromByteArray(a);
    EXPECT_EQ(toVector(a), toVector(serialise(parsed)));
    EXPECT_EQ(Msg::APPLICATION_CHANGE, parsed.getType());
    std::wstring text;
    EXPECT_TRUE(parsed.getAttributeValue(L"ContextString1", text));
    EXPECT_EQ(L"R\u00E9sum\u00E9.docx \U0001F4C4", text);
    int value = 0;
    EXPECT_TRUE(parsed.getAttributeValue(L"\U0001F600", value));
    EXPECT_EQ(-1, value);
    ByteArray* bytes = nullptr;
    ASSERT_TRUE(parsed.getAttributeValue(L"ApplicationHash", bytes));
    EXPECT_EQ(4, bytes->getSize());
    EXPECT_EQ(0xFF, bytes->getData()[3]);
}

TEST_F(MsgTest, NamesAreWrittenInCodeUnitOrder)
{
    Msg msg;
    msg.removeIntAttribute(L"MsgType");
    msg.setAttributeValue(L"\uFF21", 1);
    msg.setAttributeValue(L"\U0001F600", 2);
    msg.setAttributeValue(L"Ab", 3);
    msg.setAttributeValue(L"A", 4);
    const ByteArray expected = Wire()
                                   .header()
                                   .str(u"A")
                                   .integer(4)
                                   .str(u"Ab")
                                   .integer(3)
                                   .str(u"\U0001F600")
                                   .integer(2)
                                   .str(u"\uFF21")
                                   .integer(1)
                                   .finish();
    EXPECT_EQ(toVector(expected), toVector(serialise(msg)));
}

TEST_F(MsgTest, OneNameInTwoMapsGivesTwoAttributesBothWays)
{
    Msg msg;
    msg.setAttributeValue(L"Signature", 7);
    msg.setAttributeValue(L"Signature", std::wstring(L"text"));
    const ByteArray wire = serialise(msg);
    const ByteArray expected = Wire()
                                   .header()
                                   .str(u"MsgType")
                                   .integer(0)
                                   .str(u"Signature")
                                   .integer(7)
                                   .str(u"Signature")
                                   .str(u"text")
                                   .finish();
    EXPECT_EQ(toVector(expected), toVector(wire));

    Msg parsed;
    parsed.fromByteArray(wire);
    EXPECT_EQ(2, parsed.getIntAttributeCount());
    EXPECT_EQ(1, parsed.getStringAttributeCount());
    EXPECT_FALSE(parsed.isSecure()); // a string "Signature" does not count
}

TEST_F(MsgTest, SizeRequirementCountsCodeUnits)
{
    Msg msg;
    msg.setAttributeValue(L"\U0001F600", std::wstring(L"\U0001F600\U0001F600"));
    // 8 + 4 elements * 8 + 4 (one int) + 2 * (7 + 2 + 4) code units
    EXPECT_EQ(8 + 32 + 4 + 26, msg.getSerializedSizeRequirement());
    EXPECT_EQ(70, serialise(msg).getSize());
}

TEST_F(MsgTest, ParsingAddsToTheMessageWithoutClearingIt)
{
    Msg msg;
    msg.setAttributeValue(L"Keep", 1);
    msg.setAttributeValue(L"Name", std::wstring(L"old"));
    msg.fromByteArray(Wire().header().str(u"Name").str(u"new").finish());
    std::wstring name;
    int keep = 0;
    EXPECT_TRUE(msg.getAttributeValue(L"Name", name));
    EXPECT_EQ(L"new", name);
    EXPECT_TRUE(msg.getAttributeValue(L"Keep", keep));

    // A bare header (total length 8) adds nothing.
    Msg empty;
    empty.fromByteArray(Wire().header().finish());
    EXPECT_EQ(1, empty.getIntAttributeCount());
    EXPECT_EQ(0, empty.getStringAttributeCount());
    EXPECT_EQ(0, empty.getByteArrayAttributeCount());
}

TEST_F(MsgTest, OddStringLengthSkipsTheLastByteAndParsingContinues)
{
    const ByteArray data = Wire()
                               .header()
                               .str(u"S")
                               .i32(2)
                               .i32(7)
                               .units(u"ABC")
                               .raw({'X'})
                               .str(u"N")
                               .integer(5)
                               .finish();
    Msg msg;
    msg.fromByteArray(data);
    std::wstring s;
    int n = 0;
    EXPECT_TRUE(msg.getAttributeValue(L"S", s));
    EXPECT_EQ(L"ABC", s);
    EXPECT_TRUE(msg.getAttributeValue(L"N", n));
    EXPECT_EQ(5, n);
}

TEST_F(MsgTest, IntegerElementsAlwaysTakeFourBytes)
{
    // The length field of an integer element is not used: the value is the
    // next four bytes and the element ends there.
    const ByteArray zeroLength = Wire().header().str(u"N").i32(1).i32(0).i32(9).finish();
    Msg msg;
    msg.fromByteArray(zeroLength);
    int n = 0;
    EXPECT_TRUE(msg.getAttributeValue(L"N", n));
    EXPECT_EQ(9, n);

    // Length 12: the eight bytes after the value are read as the next element.
    const ByteArray longer =
        Wire().header().str(u"N").i32(1).i32(12).i32(3).str(u"M").integer(4).finish();
    Msg other;
    other.fromByteArray(longer);
    int m = 0;
    EXPECT_TRUE(other.getAttributeValue(L"N", n));
    EXPECT_EQ(3, n);
    EXPECT_TRUE(other.getAttributeValue(L"M", m));
    EXPECT_EQ(4, m);
}

TEST_F(MsgTest, MessageLevelErrors)
{
    expectRejected(Wire().i32(2).i32(8).asIs(), 1050601, L"Unsupported Message Version",
                   L"Msg::fromByteArray");
    ByteArray appended = serialise(Msg());
    appended += ByteArray(reinterpret_cast<const uint8_t*>("!"), 1);
    expectRejected(appended, 1050602, L"Incorrect message length value", L"Msg::fromByteArray");
    expectRejected(Wire().header().integer(1).str(u"x").finish(), 1050603,
                   L"Unexpected element data type when parsing Attribute Name",
                   L"Msg::fromByteArray");
    // A byte array in a name's place is made and must be freed again.
    expectRejected(Wire().header().bytes({1, 2, 3}).integer(1).finish(), 1050603,
                   L"Unexpected element data type when parsing Attribute Name",
                   L"Msg::fromByteArray");
    expectRejected(Wire().header().str(u"Name").finish(), 1050604, L"Missing attribute value",
                   L"Msg::fromByteArray");
    // 1050605 ("Unknown value type when parsing attribute value") cannot
    // occur: getNextElement rejects every unknown tag (1050608) before the
    // value's tag is looked at.
}

TEST_F(MsgTest, ElementLevelErrors)
{
    // Five bytes of an element header, then the end.
    expectRejected(Wire().header().raw({2, 0, 0, 0, 2}).finish(), 1050606,
                   L"Insufficient bytes to read element header", L"Msg::getNextElement");
    expectRejected(Wire().header().str(u"N").i32(3).i32(10).raw({1, 2, 3}).finish(), 1050607,
                   L"Insufficient bytes to read full element", L"Msg::getNextElement");
    // A negative length and one that would overflow position + length.
    expectRejected(Wire().header().str(u"N").i32(3).i32(0xFFFFFFFF).raw({1, 2, 3, 4}).finish(),
                   1050607, L"Insufficient bytes to read full element", L"Msg::getNextElement");
    expectRejected(Wire().header().str(u"N").i32(3).i32(0x80000000).finish(), 1050607,
                   L"Insufficient bytes to read full element", L"Msg::getNextElement");
    expectRejected(Wire().header().str(u"N").i32(2).i32(0x7FFFFFFF).finish(), 1050607,
                   L"Insufficient bytes to read full element", L"Msg::getNextElement");
    expectRejected(Wire().header().str(u"N").i32(4).i32(4).i32(0).finish(), 1050608,
                   L"Unknown element type", L"Msg::getNextElement");
    expectRejected(Wire().header().i32(0).i32(0).finish(), 1050608, L"Unknown element type",
                   L"Msg::getNextElement");
}

TEST_F(MsgTest, ShortIntegerErrors)
{
    expectRejected(ByteArray(), 1050609, L"Insufficient bytes to read int", L"Msg::getNextInt");
    expectRejected(Wire().i32(1).raw({8, 0, 0}).asIs(), 1050609, L"Insufficient bytes to read int",
                   L"Msg::getNextInt");
    // An integer element whose length field says 0 at the very end.
    expectRejected(Wire().header().str(u"N").i32(1).i32(0).raw({1, 2}).finish(), 1050609,
                   L"Insufficient bytes to read int", L"Msg::getNextInt");
}

TEST_F(MsgTest, AttributesParsedBeforeAnErrorStay)
{
    Msg msg;
    expectRejected(Wire().header().str(u"First").integer(1).str(u"Second").finish(), 1050604,
                   L"Missing attribute value", L"Msg::fromByteArray", &msg);
    int first = 0;
    EXPECT_TRUE(msg.getAttributeValue(L"First", first));
    EXPECT_EQ(1, first);
    EXPECT_EQ(2, msg.getIntAttributeCount());
}

TEST_F(MsgTest, GetNextElementLeavesItsOutputsOnFailure)
{
    const ByteArray data = Wire().header().i32(3).i32(100).finish();
    int32_t position = 8;
    int32_t i = 0x5EED;
    std::wstring s = L"sentinel";
    ByteArray* b = nullptr;
    Msg::DataType type = Msg::StringData;
    EXPECT_THROW(Msg::getNextElement(data, position, i, s, b, type), CommsException);
    EXPECT_EQ(8, position);
    EXPECT_EQ(nullptr, b);
    EXPECT_EQ(Msg::StringData, type);

    position = data.getSize();
    EXPECT_FALSE(Msg::getNextElement(data, position, i, s, b, type));
    EXPECT_EQ(0x5EED, i);
    EXPECT_EQ(L"sentinel", s);
}

TEST_F(MsgTest, TypeNamesAndTypeAttribute)
{
    EXPECT_EQ(L"UNSPECIFIED", Msg::getTypeName(Msg::UNSPECIFIED));
    EXPECT_EQ(L"ERROR_MSG", Msg::getTypeName(Msg::ERROR_MSG));
    EXPECT_EQ(L"PLUGIN_INFO", Msg::getTypeName(Msg::PLUGIN_INFO));
    EXPECT_EQ(L"HTTP_COMM_DEVICE", Msg::getTypeName(Msg::HTTP_COMM_DEVICE));
    EXPECT_EQ(L"Unknown", Msg::getTypeName(Msg::CONNECTION_STATUS_CHANGE));
    EXPECT_EQ(L"Unknown", Msg::getTypeName(Msg::CLIENT_PROFILE_CHANGE));
    EXPECT_EQ(L"Unknown", Msg::getTypeName(static_cast<Msg::MsgType>(-1)));
    EXPECT_EQ(L"Unknown", Msg::getTypeName(static_cast<Msg::MsgType>(21)));

    Msg msg;
    EXPECT_EQ(Msg::UNSPECIFIED, msg.getType());
    EXPECT_TRUE(msg.containsIntAttribute(L"MsgType"));
    msg.setType(Msg::CLIENT_PROFILE_RESPONSE);
    int raw = 0;
    EXPECT_TRUE(msg.getAttributeValue(L"MsgType", raw));
    EXPECT_EQ(19, raw);
    msg.removeIntAttribute(L"MsgType");
    EXPECT_EQ(Msg::UNSPECIFIED, msg.getType());
}

TEST_F(MsgTest, SecureOnlyWithASignatureOrEncryptedDataArray)
{
    Msg msg;
    EXPECT_FALSE(msg.isSecure());
    msg.setAttributeValue(L"Signature", std::wstring(L"not an array"));
    msg.setAttributeValue(L"EncryptedData", 1);
    EXPECT_FALSE(msg.isSecure());
    msg.setAttributeValue(L"Signature", new ByteArray());
    EXPECT_TRUE(msg.isSecure());
    msg.removeByteArrayAttribute(L"Signature");
    msg.setAttributeValue(L"EncryptedData", new ByteArray());
    EXPECT_TRUE(msg.isSecure());
}

TEST_F(MsgTest, ListingShowsIntsThenStringsThenArraySizes)
{
    Msg msg;
    msg.setAttributeValue(L"Z", new ByteArray(std::wstring(L"abc")));
    msg.setAttributeValue(L"A", std::wstring(L"x=y"));
    msg.setAttributeValue(L"\uFF21", -3);
    msg.setAttributeValue(L"\U0001F600", 2);
    msg.setType(Msg::SYSTEM_EVENT);
    const std::wstring expected = L"MsgType=11\r\n\U0001F600=2\r\n\uFF21=-3\r\nA=x=y\r\nZ=6\r\n";
    std::wstring text = L"previous content";
    msg.toString(text);
    EXPECT_EQ(expected, text);
    std::wostringstream stream;
    stream << msg;
    EXPECT_EQ(expected, stream.str());
}

TEST_F(MsgTest, CopiesAndAssignment)
{
    Msg original;
    fill(original, false);
    Msg copy(original);
    EXPECT_EQ(toVector(serialise(original)), toVector(serialise(copy)));

    Msg target;
    target.setAttributeValue(L"Extra", std::wstring(L"gone after assignment"));
    target = original;
    EXPECT_FALSE(target.containsStringAttribute(L"Extra"));
    EXPECT_EQ(toVector(serialise(original)), toVector(serialise(target)));

    Msg& self = target;
    target = self;
    EXPECT_EQ(toVector(serialise(original)), toVector(serialise(target)));
}

} // namespace

namespace {

// Names arriving out of order, repeated, or merging into attributes already
// there must end where the order puts them, the last value winning.
TEST_F(MsgTest, NamesOutOfOrderOrRepeatedOnTheWireEndInOrder)
{
    const ByteArray wire = Wire()
                               .header()
                               .str(u"b")
                               .integer(2)
                               .str(u"a")
                               .integer(1)
                               .str(u"c")
                               .integer(3)
                               .str(u"a")
                               .integer(10)
                               .str(u"z")
                               .str(u"last")
                               .str(u"m")
                               .str(u"middle")
                               .str(u"z")
                               .str(u"again")
                               .finish();
    Msg msg;
    msg.setAttributeValue(L"bb", 7);
    msg.setAttributeValue(L"n", std::wstring(L"kept"));
    msg.fromByteArray(wire);

    std::vector<int> ints;
    for (int i = 0, v = 0; msg.getAttributeValue(i, v); ++i)
        ints.push_back(v);
    // a, b, bb, c, MsgType (upper case sorts first)
    int type = -1;
    ASSERT_TRUE(msg.getAttributeValue(L"MsgType", type));
    EXPECT_EQ((std::vector<int>{type, 10, 2, 7, 3}), ints);

    std::vector<std::wstring> strings;
    std::wstring s;
    for (int i = 0; msg.getAttributeValue(i, s); ++i)
        strings.push_back(s);
    EXPECT_EQ((std::vector<std::wstring>{L"middle", L"kept", L"again"}), strings);
}

// Parsing the same wire form into one message again and again replaces the
// values in place and keeps the set of attributes.
TEST_F(MsgTest, ParsingTheSameFormAgainReplacesEveryValue)
{
    Msg original;
    fill(original, false);
    const ByteArray wire = serialise(original);
    Msg again;
    for (int round = 0; round < 3; ++round) {
        again.fromByteArray(wire);
        EXPECT_EQ(toVector(wire), toVector(serialise(again))) << round;
    }
    EXPECT_EQ(original.getIntAttributeCount(), again.getIntAttributeCount());
    EXPECT_EQ(original.getStringAttributeCount(), again.getStringAttributeCount());
    EXPECT_EQ(original.getByteArrayAttributeCount(), again.getByteArrayAttributeCount());
}

TEST(MsgHeaderTest, ReadsAndWritesVersionAndLengthLittleEndian)
{
    const uint8_t bytes[] = {0x01, 0x00, 0x00, 0x00, 0x2A, 0x01, 0x00, 0x80, 0xEE};
    MsgHeader header;
    ASSERT_TRUE(MsgHeader::read(bytes, sizeof bytes, header));
    EXPECT_EQ(1, header.version);
    EXPECT_EQ(static_cast<int32_t>(0x8000012A), header.length);

    uint8_t out[8] = {};
    header.write(out);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 8), std::vector<uint8_t>(out, out + 8));

    MsgHeader untouched;
    untouched.version = 5;
    EXPECT_FALSE(MsgHeader::read(bytes, 7, untouched));
    EXPECT_FALSE(MsgHeader::read(nullptr, 8, untouched));
    EXPECT_EQ(5, untouched.version);
}

} // namespace
