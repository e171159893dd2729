#include "client/WindowPlacementStore.h"

#include <gtest/gtest.h>

#include "testsupport/TestSupport.h"

namespace {

// A placement record laid out by hand: length, flags, show command, the
// minimised and maximised positions, then the normal rectangle.
ByteArray record(uint32_t length, int left, int top, int right, int bottom, int32_t size = 44)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(size), 0);
    auto put = [&bytes](size_t at, uint32_t v) {
        for (int i = 0; i < 4 && at + i < bytes.size(); ++i)
            bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(0, length);
    put(8, 1);
    put(28, static_cast<uint32_t>(left));
    put(32, static_cast<uint32_t>(top));
    put(36, static_cast<uint32_t>(right));
    put(40, static_cast<uint32_t>(bottom));
    return ByteArray(bytes.data(), static_cast<int32_t>(bytes.size()));
}

class WindowPlacementStoreTest : public ::testing::Test {
protected:
    testsupport::TestKey key{L"Placement"};
    Registry registry{Registry::CurrentUser, key.path()};
    WindowPlacementStore store{registry};
};

TEST_F(WindowPlacementStoreTest, ARecordOfTheSameSizeIsRestored)
{
    store.save(record(44, -300, 20, 100, 320), true);
    ByteArray out;
    ASSERT_TRUE(store.restorable(400, 300, out));
    EXPECT_EQ(record(44, -300, 20, 100, 320), out);
    EXPECT_TRUE(store.wasHidden());
    EXPECT_EQ(1, registry.read(L"WindowState", 0));
    EXPECT_EQ(44, registry.read(L"WindowPlacement", ByteArray()).getSize());
}

TEST_F(WindowPlacementStoreTest, APlacementOfAnotherSizeIsIgnored)
{
    store.save(record(44, 10, 10, 410, 310), false);
    ByteArray out(std::wstring(L"x"));
    EXPECT_FALSE(store.restorable(400, 301, out));
    EXPECT_FALSE(store.restorable(399, 300, out));
    EXPECT_EQ(ByteArray(std::wstring(L"x")), out);
    EXPECT_FALSE(store.wasHidden());
}

TEST_F(WindowPlacementStoreTest, ARecordOfTheWrongLengthIsIgnored)
{
    ByteArray out;
    EXPECT_FALSE(store.restorable(400, 300, out)); // nothing stored
    store.save(record(40, 10, 10, 410, 310), false);
    EXPECT_FALSE(store.restorable(400, 300, out));
    store.save(record(44, 10, 10, 410, 310, 48), false);
    EXPECT_FALSE(store.restorable(400, 300, out));
    store.save(record(44, 10, 10, 410, 310, 40), false);
    EXPECT_FALSE(store.restorable(400, 300, out));
}

TEST_F(WindowPlacementStoreTest, NothingStoredMeansShown)
{
    EXPECT_FALSE(store.wasHidden());
    registry.write(L"WindowState", 2);
    EXPECT_FALSE(store.wasHidden());
}

} // namespace
