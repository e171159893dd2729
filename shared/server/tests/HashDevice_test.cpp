#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "SecurityTestSupport.h"
#include "base/File.h"
#include "base/Utf16.h"
#include "shared/server/HashDevice.h"

using namespace securitytest;

namespace {

std::string digestHex(const std::string& text)
{
    ByteArray out = fromHex("deadbeef");
    EXPECT_TRUE(HashDevice::hashData(fromText(text), out, false));
    return toHex(out);
}

// FIPS 180 example messages.
TEST(HashDeviceTest, PublishedDigests)
{
    EXPECT_EQ(digestHex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(digestHex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(digestHex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(digestHex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjk"
                        "lmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
              "a49b2446a02c645bf419f995b67091253a04a259");
    EXPECT_EQ(digestHex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(HashDeviceTest, TextFormIsBase64OfTheDigest)
{
    ByteArray text;
    EXPECT_TRUE(HashDevice::hashData(fromText("abc"), text, true));
    EXPECT_EQ(toText(text), "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");
    EXPECT_EQ(text.getSize(), HashDevice::DigestTextSize);
}

// Padding boundaries: 55 bytes fit one block with the length, 56 need two.
TEST(HashDeviceTest, PiecewiseUpdatesMatchOneShotAcrossBlockBoundaries)
{
    for (int n : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000}) {
        ByteArray data = randomBytes(static_cast<uint32_t>(n), n);
        ByteArray whole;
        HashDevice::hashData(data, whole, false);
        for (int split : {0, 1, n / 3, n - 1}) {
            if (split < 0 || split > n)
                continue;
            Sha1 sha;
            sha.update(data.getData(), static_cast<size_t>(split));
            sha.update(data.getData() + split, static_cast<size_t>(n - split));
            uint8_t digest[HashDevice::DigestSize];
            sha.finish(digest);
            EXPECT_EQ(toHex(digest, sizeof digest), toHex(whole))
                << "n=" << n << " split=" << split;
        }
    }
}

class HashFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Test processes may run side by side: one file per test case.
        path_ = testing::TempDir() + "ondrivex_hash_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override { std::remove(path_.c_str()); }
    std::wstring widePath() const { return std::wstring(path_.begin(), path_.end()); }
    void write(const ByteArray& bytes)
    {
        FILE* f = std::fopen(path_.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        if (bytes.getSize() > 0)
            std::fwrite(bytes.getData(), 1, static_cast<size_t>(bytes.getSize()), f);
        std::fclose(f);
    }
    std::string path_;
};

TEST_F(HashFileTest, HashesTheContentAsText)
{
    write(fromText("abc"));
    ByteArray out;
    ASSERT_TRUE(HashDevice::hashFile(widePath().c_str(), out));
    EXPECT_EQ(toText(out), "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");
}

TEST_F(HashFileTest, MissingFileGivesFalseAndEmptyResult)
{
    ByteArray out = fromText("stale");
    EXPECT_FALSE(HashDevice::hashFile(widePath().c_str(), out));
    EXPECT_EQ(out.getSize(), 0);
    EXPECT_FALSE(HashDevice::hashFile(nullptr, out));
}

TEST_F(HashFileTest, OnlyTheFirstFourMegabytesCount)
{
    ByteArray big = randomBytes(7, HashDevice::MaximumFileSize + 100);
    write(big);
    ByteArray fromFile, expected;
    ASSERT_TRUE(HashDevice::hashFile(widePath().c_str(), fromFile));
    HashDevice::hashData(ByteArray(big.getData(), HashDevice::MaximumFileSize), expected, true);
    EXPECT_EQ(toText(fromFile), toText(expected));
}

} // namespace
