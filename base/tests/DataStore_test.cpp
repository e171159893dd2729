#include "base/DataStore.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Counts destructions so that the store's ownership can be observed; the
// sanitizer build catches double frees and leaks besides.
int g_destroyed = 0;

class CountedArray : public ByteArray {
public:
    explicit CountedArray(uint8_t value) : ByteArray(&value, 1) {}
    ~CountedArray() override { ++g_destroyed; }
};

class DataStoreTest : public ::testing::Test {
protected:
    void SetUp() override { g_destroyed = 0; }
};

TEST_F(DataStoreTest, SetAndGetInEachMap)
{
    DataStore store;
    store.setAttributeValue(L"Count", 42);
    store.setAttributeValue(L"Name", std::wstring(L"value"));
    ByteArray* bytes = new ByteArray(std::wstring(L"ab"));
    store.setAttributeValue(L"Data", bytes);

    int i = -1;
    std::wstring s = L"sentinel";
    ByteArray* b = nullptr;
    EXPECT_TRUE(store.getAttributeValue(L"Count", i));
    EXPECT_EQ(42, i);
    EXPECT_TRUE(store.getAttributeValue(L"Name", s));
    EXPECT_EQ(L"value", s);
    EXPECT_TRUE(store.getAttributeValue(L"Data", b));
    EXPECT_EQ(bytes, b); // the stored object itself

    store.setAttributeValue(L"Count", -7);
    store.setAttributeValue(L"Name", std::wstring());
    EXPECT_TRUE(store.getAttributeValue(L"Count", i));
    EXPECT_EQ(-7, i);
    EXPECT_TRUE(store.getAttributeValue(L"Name", s));
    EXPECT_EQ(L"", s);
    EXPECT_EQ(1, store.getIntAttributeCount());
    EXPECT_EQ(1, store.getStringAttributeCount());
    EXPECT_EQ(1, store.getByteArrayAttributeCount());
}

TEST_F(DataStoreTest, MissingNamesLeaveTheOutputUntouched)
{
    DataStore store;
    store.setAttributeValue(L"Name", std::wstring(L"x"));
    int i = 0x5EED;
    std::wstring s = L"sentinel";
    ByteArray sentinel;
    ByteArray* b = &sentinel;
    EXPECT_FALSE(store.getAttributeValue(L"Other", i));
    EXPECT_FALSE(store.getAttributeValue(L"Name", i)); // a string, not an int
    EXPECT_FALSE(store.getAttributeValue(L"Other", s));
    EXPECT_FALSE(store.getAttributeValue(L"Name", b));
    EXPECT_EQ(0x5EED, i);
    EXPECT_EQ(L"sentinel", s);
    EXPECT_EQ(&sentinel, b);
}

TEST_F(DataStoreTest, TheThreeMapsAreSeparateNameSpaces)
{
    DataStore store;
    store.setAttributeValue(L"Shared", 1);
    store.setAttributeValue(L"Shared", std::wstring(L"two"));
    store.setAttributeValue(L"Shared", new ByteArray(std::wstring(L"3")));
    EXPECT_TRUE(store.containsIntAttribute(L"Shared"));
    EXPECT_TRUE(store.containsStringAttribute(L"Shared"));
    EXPECT_TRUE(store.containsByteArrayAttribute(L"Shared"));

    store.removeStringAttribute(L"Shared");
    EXPECT_TRUE(store.containsIntAttribute(L"Shared"));
    EXPECT_FALSE(store.containsStringAttribute(L"Shared"));
    EXPECT_TRUE(store.containsByteArrayAttribute(L"Shared"));
    store.removeIntAttribute(L"Shared");
    store.removeByteArrayAttribute(L"Shared");
    EXPECT_EQ(0, store.getIntAttributeCount() + store.getStringAttributeCount() +
                     store.getByteArrayAttributeCount());
    store.removeIntAttribute(L"Shared"); // no longer there: nothing happens
}

TEST_F(DataStoreTest, TheStoreOwnsItsArrays)
{
    {
        DataStore store;
        CountedArray* first = new CountedArray(1);
        store.setAttributeValue(L"A", first);
        store.setAttributeValue(L"A", first); // the same object again: kept
        EXPECT_EQ(0, g_destroyed);
        ByteArray* out = nullptr;
        ASSERT_TRUE(store.getAttributeValue(L"A", out));
        EXPECT_EQ(first, out);

        store.setAttributeValue(L"A", new CountedArray(2)); // replaces: first destroyed
        EXPECT_EQ(1, g_destroyed);
        store.removeByteArrayAttribute(L"A");
        EXPECT_EQ(2, g_destroyed);
        store.removeByteArrayAttribute(L"A");
        EXPECT_EQ(2, g_destroyed);

        store.setAttributeValue(L"B", new CountedArray(3));
        store.setAttributeValue(L"C", new CountedArray(4));
    }
    EXPECT_EQ(4, g_destroyed); // the store's destruction destroyed B and C
}

TEST_F(DataStoreTest, ANullArrayIsStoredAsAnEmptyOne)
{
    DataStore store;
    store.setAttributeValue(L"A", static_cast<ByteArray*>(nullptr));
    ByteArray* out = nullptr;
    ASSERT_TRUE(store.getAttributeValue(L"A", out));
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(0, out->getSize());
}

TEST_F(DataStoreTest, IndexAccessFollowsCodeUnitOrder)
{
    DataStore store;
    // Inserted out of order; U+1F600 (D83D DE00) must come before U+FF21.
    const std::vector<std::wstring> names = {L"\uFF21", L"b", L"\U0001F600", L"aa", L"a", L"B"};
    for (size_t i = 0; i < names.size(); ++i) {
        store.setAttributeValue(names[i], static_cast<int>(i));
        store.setAttributeValue(names[i], std::wstring(L"v") + names[i]);
        store.setAttributeValue(names[i], new ByteArray(names[i]));
    }
    const std::vector<std::wstring> order = {L"B", L"a", L"aa", L"b", L"\U0001F600", L"\uFF21"};
    const std::vector<int> intOrder = {5, 4, 3, 1, 2, 0};
    for (int index = 0; index < static_cast<int>(order.size()); ++index) {
        int i = -1;
        std::wstring s;
        ByteArray* b = nullptr;
        ASSERT_TRUE(store.getAttributeValue(index, i));
        ASSERT_TRUE(store.getAttributeValue(index, s));
        ASSERT_TRUE(store.getAttributeValue(index, b));
        EXPECT_EQ(intOrder[index], i) << index;
        EXPECT_EQ(L"v" + order[index], s) << index;
        EXPECT_EQ(order[index], b->w2w()) << index;
    }

    int i = 0x5EED;
    std::wstring s = L"sentinel";
    ByteArray* b = nullptr;
    EXPECT_FALSE(store.getAttributeValue(6, i));
    EXPECT_FALSE(store.getAttributeValue(-1, i));
    EXPECT_FALSE(store.getAttributeValue(6, s));
    EXPECT_FALSE(store.getAttributeValue(-1, b));
    EXPECT_EQ(0x5EED, i);
    EXPECT_EQ(L"sentinel", s);
    EXPECT_EQ(nullptr, b);
}

TEST_F(DataStoreTest, CopiesMakeTheirOwnArrays)
{
    DataStore original;
    original.setAttributeValue(L"I", 5);
    original.setAttributeValue(L"S", std::wstring(L"text"));
    original.setAttributeValue(L"B", new CountedArray(9));

    DataStore copy(original);
    ByteArray* a = nullptr;
    ByteArray* b = nullptr;
    ASSERT_TRUE(original.getAttributeValue(L"B", a));
    ASSERT_TRUE(copy.getAttributeValue(L"B", b));
    EXPECT_NE(a, b);
    EXPECT_TRUE(*a == *b);

    // Assignment clears the target first.
    DataStore target;
    target.setAttributeValue(L"Extra", 1);
    target.setAttributeValue(L"B", new CountedArray(1));
    target = original;
    EXPECT_EQ(1, g_destroyed);
    EXPECT_FALSE(target.containsIntAttribute(L"Extra"));
    int i = 0;
    std::wstring s;
    EXPECT_TRUE(target.getAttributeValue(L"I", i));
    EXPECT_EQ(5, i);
    EXPECT_TRUE(target.getAttributeValue(L"S", s));
    EXPECT_EQ(L"text", s);

    DataStore& self = target;
    target = self;
    EXPECT_EQ(1, target.getIntAttributeCount());
    EXPECT_EQ(1, target.getByteArrayAttributeCount());
    EXPECT_EQ(1, g_destroyed);
}

} // namespace

namespace {

// Against std::map ordered by the names' code units (a u16string key): any
// order of setting and removing ends in the same attributes, in that order.
TEST_F(DataStoreTest, AnyOrderOfChangesAgreesWithAnOrderedMap)
{
    const std::vector<std::wstring> names = {L"Msg",    L"MsgType",    L"a",      L"B",
                                             L"\uFF21", L"\U0001F600", L"\uE000", L"",
                                             L"ab",     L"aa",         L"Z",      L"\u00E9"};
    uint32_t seed = 3;
    for (int round = 0; round < 50; ++round) {
        DataStore store;
        std::map<std::u16string, int> reference;
        for (int step = 0; step < 40; ++step) {
            seed = seed * 1103515245u + 12345u;
            const std::wstring& name = names[(seed >> 16) % names.size()];
            const int value = static_cast<int>(seed % 1000);
            if ((seed >> 8) % 5 == 0) {
                store.removeIntAttribute(name);
                reference.erase(Utf16::toUnits(name));
            } else {
                store.setAttributeValue(name, value);
                reference[Utf16::toUnits(name)] = value;
            }
        }
        ASSERT_EQ(static_cast<int>(reference.size()), store.getIntAttributeCount());
        int index = 0;
        for (const auto& [units, value] : reference) {
            int stored = -1;
            ASSERT_TRUE(store.getAttributeValue(index, stored));
            EXPECT_EQ(value, stored) << round << " " << index;
            ASSERT_TRUE(store.getAttributeValue(Utf16::fromUnits(units), stored));
            EXPECT_EQ(value, stored);
            ++index;
        }
    }
}

} // namespace
