#include <gtest/gtest.h>

#include <cstring>

#include "shared/monitoring/IconFile.h"

namespace {

uint32_t le32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

uint16_t le16(const uint8_t* at)
{
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

IconImage image(uint8_t width, uint16_t bitCount, uint32_t declared, uint16_t id, int32_t size,
                uint8_t fill)
{
    IconImage im;
    im.entry[0] = width;
    im.entry[1] = width;
    im.entry[2] = bitCount <= 8 ? static_cast<uint8_t>(1u << bitCount) : 0;
    im.entry[4] = 1;
    im.entry[6] = static_cast<uint8_t>(bitCount);
    for (int i = 0; i < 4; ++i)
        im.entry[8 + i] = static_cast<uint8_t>(declared >> (8 * i));
    im.entry[12] = static_cast<uint8_t>(id);
    im.entry[13] = static_cast<uint8_t>(id >> 8);
    std::vector<uint8_t> bytes(static_cast<size_t>(size), fill);
    im.bytes = ByteArray(bytes.data(), size);
    return im;
}

TEST(IconFileTest, ThreeImagesStartAtOffset54AndFollowEachOther)
{
    const std::vector<IconImage> images = {image(16, 4, 40, 1, 40, 0x11),
                                           image(32, 8, 300, 2, 300, 0x22),
                                           image(48, 32, 9000, 3, 9000, 0x33)};
    ByteArray file;
    ASSERT_TRUE(IconFile::layout(images, file));
    ASSERT_EQ(6 + 3 * 16 + 40 + 300 + 9000, file.getSize());
    const uint8_t* at = file.getData();
    EXPECT_EQ(0, le16(at));
    EXPECT_EQ(1, le16(at + 2));
    EXPECT_EQ(3, le16(at + 4));

    uint32_t expectedOffset = 54;
    for (size_t i = 0; i < images.size(); ++i) {
        const uint8_t* entry = at + 6 + 16 * i;
        EXPECT_EQ(0, std::memcmp(entry, images[i].entry, 8)) << i;
        const uint32_t size = le32(entry + 8);
        const uint32_t offset = le32(entry + 12);
        EXPECT_EQ(static_cast<uint32_t>(images[i].bytes.getSize()), size);
        EXPECT_EQ(expectedOffset, offset) << i;
        EXPECT_EQ(0, std::memcmp(at + offset, images[i].bytes.getData(), size)) << i;
        expectedOffset += size;
    }
    EXPECT_EQ(static_cast<uint32_t>(file.getSize()), expectedOffset);
}

TEST(IconFileTest, EntriesGiveTheBytesActuallyHeld)
{
    // The group claimed 5000 bytes, the resource held 12.
    const std::vector<IconImage> images = {image(32, 8, 5000, 7, 12, 0xAB),
                                           image(16, 4, 40, 8, 40, 0xCD)};
    ByteArray file;
    ASSERT_TRUE(IconFile::layout(images, file));
    ASSERT_EQ(6 + 32 + 12 + 40, file.getSize());
    EXPECT_EQ(12u, le32(file.getData() + 6 + 8));
    EXPECT_EQ(38u + 12u, le32(file.getData() + 22 + 12));
    EXPECT_EQ(0xCD, file.getData()[50]);
}

TEST(IconFileTest, RefusesNothingAndTooMuch)
{
    ByteArray file(reinterpret_cast<const uint8_t*>("keep"), 4);
    EXPECT_FALSE(IconFile::layout({}, file));
    const int32_t tooBig = static_cast<int32_t>(IconFile::MaxFileBytes) - 6 - 16 + 1;
    EXPECT_FALSE(IconFile::layout({image(64, 32, uint32_t(tooBig), 1, tooBig, 0)}, file));
    ASSERT_EQ(4, file.getSize());
    EXPECT_EQ('k', file.getData()[0]);

    const int32_t fits = tooBig - 1;
    EXPECT_TRUE(IconFile::layout({image(64, 32, uint32_t(fits), 1, fits, 0)}, file));
    EXPECT_EQ(static_cast<int32_t>(IconFile::MaxFileBytes), file.getSize());
}

TEST(IconFileTest, GroupEntriesBeyondTheResourceAreDropped)
{
    std::vector<uint8_t> group = {0, 0, 1, 0, 5, 0}; // claims five entries
    for (uint8_t e = 1; e <= 2; ++e) {
        for (uint8_t b = 0; b < 14; ++b)
            group.push_back(static_cast<uint8_t>(e * 16 + b));
    }
    group.push_back(0xEE); // part of a third entry
    const std::vector<IconImage> entries = IconFile::readGroup(group.data(), group.size());
    EXPECT_EQ(5, IconFile::declaredCount(group.data(), group.size()));
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(0, std::memcmp(entries[0].entry, group.data() + 6, 14));
    EXPECT_EQ(0, std::memcmp(entries[1].entry, group.data() + 20, 14));
    EXPECT_EQ(0x1D1C, entries[0].id());
    EXPECT_EQ(0u, entries[1].bytes.getSize() + 0u);

    EXPECT_TRUE(IconFile::readGroup(group.data(), 5).empty());
    EXPECT_TRUE(IconFile::readGroup(nullptr, group.size()).empty());
    EXPECT_EQ(0, IconFile::declaredCount(group.data(), 5));
}

} // namespace
