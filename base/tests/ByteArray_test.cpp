#include "base/ByteArray.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

class ByteArrayTest : public ::testing::Test {
protected:
    static std::vector<uint8_t> bytes(const ByteArray& a)
    {
        if (a.getSize() == 0)
            return {};
        return std::vector<uint8_t>(a.getData(), a.getData() + a.getSize());
    }
    static ByteArray make(std::initializer_list<uint8_t> values)
    {
        std::vector<uint8_t> v(values);
        return ByteArray(v.data(), static_cast<int32_t>(v.size()));
    }
};

TEST_F(ByteArrayTest, EmptyConstructionsHoldNoBlock)
{
    const uint8_t data[] = {1, 2, 3};
    ByteArray plain;
    ByteArray fromNull(nullptr, 5);
    ByteArray fromZero(data, 0);
    ByteArray fromNegative(data, -1);
    for (const ByteArray* a : {&plain, &fromNull, &fromZero, &fromNegative}) {
        EXPECT_EQ(0, a->getSize());
        EXPECT_EQ(0, a->getCapacity());
        EXPECT_EQ(nullptr, a->getData());
    }
    ByteArray fromEmptyText(std::wstring{});
    EXPECT_EQ(nullptr, fromEmptyText.getData());
}

TEST_F(ByteArrayTest, CopiesAreDeep)
{
    ByteArray a = make({1, 2, 3});
    ByteArray b(a);
    ByteArray c;
    c = a;
    ASSERT_NE(a.getData(), b.getData());
    ASSERT_NE(a.getData(), c.getData());
    b.getData()[0] = 9;
    c.getData()[1] = 9;
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), bytes(a));
    EXPECT_EQ((std::vector<uint8_t>{9, 2, 3}), bytes(b));
    EXPECT_EQ((std::vector<uint8_t>{1, 9, 3}), bytes(c));

    c = c; // self-assignment keeps the bytes
    EXPECT_EQ((std::vector<uint8_t>{1, 9, 3}), bytes(c));

    ByteArray moved(std::move(b));
    EXPECT_EQ((std::vector<uint8_t>{9, 2, 3}), bytes(moved));
    EXPECT_EQ(0, b.getSize());
    EXPECT_EQ(nullptr, b.getData());
}

TEST_F(ByteArrayTest, WideTextIsStoredAsLittleEndianCodeUnitsWithoutTerminator)
{
    ByteArray a(std::wstring(L"A\u20AC\U0001F600"));
    EXPECT_EQ((std::vector<uint8_t>{0x41, 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE}), bytes(a));
    a += std::wstring(L"z");
    EXPECT_EQ(10, a.getSize());
    EXPECT_EQ(0x7A, a.getData()[8]);
    EXPECT_EQ(0x00, a.getData()[9]);
    EXPECT_EQ(std::wstring(L"A\u20AC\U0001F600z"), a.w2w());
}

TEST_F(ByteArrayTest, IntegersAreAppendedLeastSignificantByteFirst)
{
    ByteArray a;
    a += 0x01020304;
    a += -2;
    a += 0xFFFFFFFEu;
    a += static_cast<int>(0x80000000u);
    EXPECT_EQ((std::vector<uint8_t>{4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0,
                                    0, 0, 0x80}),
              bytes(a));
}

TEST_F(ByteArrayTest, ConcatenationAndAppendingIncludingItself)
{
    ByteArray a = make({1, 2});
    ByteArray b = make({3});
    ByteArray sum = a + b;
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), bytes(sum));
    EXPECT_EQ((std::vector<uint8_t>{1, 2}), bytes(a));
    EXPECT_EQ(3, sum.getCapacity());

    // Appending an array to itself reads from the block being replaced.
    a += a;
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 1, 2}), bytes(a));
    a.appendData(a.getData() + 1, 2);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 1, 2, 2, 1}), bytes(a));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 1, 2, 2, 1, 1, 2, 1, 2, 2, 1}), bytes(a + a));

    const int32_t before = a.getSize();
    a.appendData(nullptr, 4);
    a.appendData(b.getData(), 0);
    a.appendData(b.getData(), -3);
    EXPECT_EQ(before, a.getSize());
}

TEST_F(ByteArrayTest, EqualityComparesSizesAndBytes)
{
    EXPECT_TRUE(make({1, 2}) == make({1, 2}));
    EXPECT_FALSE(make({1, 2}) == make({1, 3}));
    EXPECT_FALSE(make({1, 2}) == make({1, 2, 0}));
    EXPECT_TRUE(make({1, 2}) != make({2, 1}));
    EXPECT_FALSE(make({1}) != make({1}));
    // An array cleared to size 0 keeps its block and still equals a new one.
    ByteArray cleared = make({7});
    cleared.clear();
    EXPECT_NE(nullptr, cleared.getData());
    EXPECT_TRUE(cleared == ByteArray());
    EXPECT_TRUE(ByteArray() == cleared);
    EXPECT_FALSE(ByteArray() == make({0}));
}

TEST_F(ByteArrayTest, GetBufferReallocatesExactlyOnlyWhenTheSizeChanges)
{
    ByteArray a = make({1, 2, 3});
    uint8_t* same = a.getBuffer(3);
    EXPECT_EQ(a.getData(), same);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), bytes(a));

    a.ensure(10); // capacity above the size: a different size must still reallocate
    uint8_t* block = a.getBuffer(5);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(block, a.getData());
    EXPECT_EQ(5, a.getSize());
    EXPECT_EQ(5, a.getCapacity());
    for (int i = 0; i < 5; ++i)
        block[i] = static_cast<uint8_t>(i);
    EXPECT_EQ((std::vector<uint8_t>{0, 1, 2, 3, 4}), bytes(a));

    EXPECT_EQ(nullptr, a.getBuffer(0));
    EXPECT_EQ(0, a.getSize());
}

TEST_F(ByteArrayTest, CopyDataReplacesTheContentAlsoFromItsOwnBlock)
{
    ByteArray a = make({1, 2, 3, 4, 5});
    const uint8_t other[] = {9, 8};
    a.copyData(other, 2);
    EXPECT_EQ((std::vector<uint8_t>{9, 8}), bytes(a));

    ByteArray b = make({1, 2, 3, 4, 5});
    b.copyData(b.getData() + 2, 3);
    EXPECT_EQ((std::vector<uint8_t>{3, 4, 5}), bytes(b));

    b.copyData(nullptr, 3);
    EXPECT_EQ(0, b.getSize());
}

TEST_F(ByteArrayTest, EnsureGrowsToExactlyTheRequestAndKeepsTheContent)
{
    ByteArray a = make({1, 2});
    a.ensure(100);
    EXPECT_EQ(100, a.getCapacity());
    EXPECT_EQ((std::vector<uint8_t>{1, 2}), bytes(a));
    uint8_t* block = a.getData();
    a.ensure(50); // already room for it
    EXPECT_EQ(block, a.getData());
    EXPECT_EQ(100, a.getCapacity());
    // Appends within the reservation keep the block.
    for (int i = 0; i < 24; ++i)
        a += i;
    EXPECT_EQ(block, a.getData());
    EXPECT_EQ(98, a.getSize());
    // Past it, growth is exact, not geometric.
    a += 7;
    EXPECT_EQ(102, a.getSize());
    EXPECT_EQ(102, a.getCapacity());
}

TEST_F(ByteArrayTest, ResizeReleaseAndClear)
{
    ByteArray a = make({1, 2, 3});
    a.resize(5);
    EXPECT_EQ(5, a.getSize());
    EXPECT_EQ(5, a.getCapacity());
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 0, 0}), bytes(a));
    a.resize(2);
    EXPECT_EQ((std::vector<uint8_t>{1, 2}), bytes(a));
    EXPECT_EQ(2, a.getCapacity());

    a.clear();
    EXPECT_EQ(0, a.getSize());
    EXPECT_EQ(2, a.getCapacity());
    EXPECT_NE(nullptr, a.getData());

    a.release();
    EXPECT_EQ(0, a.getSize());
    EXPECT_EQ(0, a.getCapacity());
    EXPECT_EQ(nullptr, a.getData());
}

TEST_F(ByteArrayTest, A2wTakesEachByteAsACharacter)
{
    EXPECT_EQ(std::wstring(L"A\u00E9\u00FF"), make({0x41, 0xE9, 0xFF}).a2w());
    EXPECT_EQ(std::wstring(1, L'\0'), make({0}).a2w());
    EXPECT_EQ(std::wstring(), ByteArray().a2w());
}

TEST_F(ByteArrayTest, W2wReadsCodeUnitsAndIgnoresAnOddLastByte)
{
    EXPECT_EQ(std::wstring(L"AB"), make({0x41, 0x00, 0x42, 0x00, 0x43}).w2w());
    EXPECT_EQ(std::wstring(), make({0x41}).w2w());
    EXPECT_EQ(std::wstring(L"\U0001F600"), make({0x3D, 0xD8, 0x00, 0xDE}).w2w());
}

TEST_F(ByteArrayTest, XorCoversOnlyTheCommonLength)
{
    ByteArray a = make({0xFF, 0x0F, 0x55, 0x01});
    a.xorWith(make({0x0F, 0xFF}));
    EXPECT_EQ((std::vector<uint8_t>{0xF0, 0xF0, 0x55, 0x01}), bytes(a));
    ByteArray shortOne = make({0x01});
    shortOne.xorWith(make({0x03, 0x04, 0x05}));
    EXPECT_EQ((std::vector<uint8_t>{0x02}), bytes(shortOne));
    ByteArray empty;
    empty.xorWith(make({1, 2}));
    EXPECT_EQ(0, empty.getSize());
    a.xorWith(a);
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 0}), bytes(a));
}

} // namespace

namespace {

TEST_F(ByteArrayTest, ExtendGrowsExactlyAndHandsOutTheNewBytes)
{
    ByteArray a = make({1, 2});
    uint8_t* at = a.extend(3);
    ASSERT_EQ(a.getData() + 2, at);
    EXPECT_EQ(5, a.getSize());
    EXPECT_EQ(5, a.getCapacity());
    at[0] = 3;
    at[1] = 4;
    at[2] = 5;
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5}), bytes(a));

    // Within the capacity no block changes hands.
    a.clear();
    const uint8_t* block = a.getData();
    EXPECT_EQ(block, a.extend(4));
    EXPECT_EQ(4, a.getSize());
    EXPECT_EQ(5, a.getCapacity());
    EXPECT_EQ(a.getData() + 4, a.extend(0));
    EXPECT_EQ(4, a.getSize());
}

TEST_F(ByteArrayTest, AppendingFromItsOwnBlockWhileGrowing)
{
    // The source lies in the block the growth replaces.
    ByteArray a = make({1, 2, 3});
    a.appendData(a.getData() + 1, 2);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 2, 3}), bytes(a));
    a.copyData(a.getData() + 3, 2);
    EXPECT_EQ((std::vector<uint8_t>{2, 3}), bytes(a));
    a += a;
    EXPECT_EQ((std::vector<uint8_t>{2, 3, 2, 3}), bytes(a));
}

} // namespace
