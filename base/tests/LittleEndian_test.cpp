#include "base/LittleEndian.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(LittleEndianTest, LeastSignificantByteComesFirst)
{
    uint8_t buffer[7] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    // At an odd address, to show that alignment does not matter.
    LittleEndian::writeU32(buffer + 1, 0x12345678u);
    EXPECT_EQ((std::vector<uint8_t>{0xEE, 0x78, 0x56, 0x34, 0x12, 0xEE, 0xEE}),
              std::vector<uint8_t>(buffer, buffer + 7));
    EXPECT_EQ(0x12345678u, LittleEndian::readU32(buffer + 1));

    LittleEndian::writeU16(buffer + 5, 0xBEEF);
    EXPECT_EQ(0xEF, buffer[5]);
    EXPECT_EQ(0xBE, buffer[6]);
    EXPECT_EQ(0xBEEF, LittleEndian::readU16(buffer + 5));
}

TEST(LittleEndianTest, SignedValuesKeepTheirBits)
{
    uint8_t buffer[4];
    LittleEndian::writeI32(buffer, -2);
    EXPECT_EQ((std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}),
              std::vector<uint8_t>(buffer, buffer + 4));
    EXPECT_EQ(-2, LittleEndian::readI32(buffer));
    LittleEndian::writeI32(buffer, INT32_MIN);
    EXPECT_EQ(INT32_MIN, LittleEndian::readI32(buffer));
}

TEST(LittleEndianTest, VolatileFormsAgreeWithThePlainOnes)
{
    volatile uint8_t shared[4] = {};
    LittleEndian::writeU32Volatile(shared, 0xA1B2C3D4u);
    EXPECT_EQ(0xD4, shared[0]);
    EXPECT_EQ(0xA1, shared[3]);
    EXPECT_EQ(0xA1B2C3D4u, LittleEndian::readU32Volatile(shared));
}

} // namespace
