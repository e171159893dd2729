#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "SecurityTestSupport.h"
#include "shared/server/CRijndael.h"

using namespace securitytest;

namespace {

const char* const Sp800Key = "2b7e151628aed2a6abf7158809cf4f3c";
const char* const Sp800IV = "000102030405060708090a0b0c0d0e0f";
const char* const Sp800Plain = "6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51"
                               "30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710";

std::string run(const char* keyHex, const char* ivHex, const char* dataHex, int mode, bool encrypt)
{
    ByteArray key = fromHex(keyHex), iv = fromHex(ivHex), data = fromHex(dataHex);
    CRijndael cipher;
    cipher.MakeKey(key.getData(), iv.getSize() ? iv.getData() : nullptr, key.getSize(), 16);
    ByteArray out(data);
    if (encrypt)
        cipher.Encrypt(data.getData(), out.getData(), static_cast<size_t>(data.getSize()), mode);
    else
        cipher.Decrypt(data.getData(), out.getData(), static_cast<size_t>(data.getSize()), mode);
    return toHex(out);
}

// FIPS-197 appendix B and C: one block under each key length.
TEST(CRijndaelTest, Fips197ExampleBlocks)
{
    struct Vector {
        const char *key, *plain, *cipher;
        int rounds;
    } vectors[] = {
        {Sp800Key, "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32", 10},
        {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
         "69c4e0d86a7b0430d8cdb78070b4c55a", 10},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
         "dda97ca4864cdfe06eaf70a0ec0d7191", 12},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089", 14},
    };
    for (const Vector& v : vectors) {
        ByteArray key = fromHex(v.key), plain = fromHex(v.plain);
        CRijndael cipher;
        cipher.MakeKey(key.getData(), nullptr, key.getSize(), 16);
        EXPECT_EQ(cipher.GetRounds(), v.rounds);
        EXPECT_EQ(cipher.GetKeyLength(), key.getSize());
        EXPECT_EQ(cipher.GetBlockSize(), 16);
        uint8_t out[16], back[16];
        cipher.EncryptBlock(plain.getData(), out);
        EXPECT_EQ(toHex(out, 16), v.cipher);
        cipher.DecryptBlock(out, back);
        EXPECT_EQ(toHex(back, 16), v.plain);
    }
}

// SP 800-38A F.1.1/F.1.2, F.2.1/F.2.2 and F.3.13/F.3.14 (AES-128).
TEST(CRijndaelTest, Sp800_38aModes)
{
    const char* ecb = "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
                      "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4";
    const char* cbc = "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
                      "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7";
    const char* cfb = "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
                      "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6";
    const std::string plain = toHex(fromHex(Sp800Plain));
    EXPECT_EQ(run(Sp800Key, "", Sp800Plain, CRijndael::ECB, true), ecb);
    EXPECT_EQ(run(Sp800Key, "", ecb, CRijndael::ECB, false), plain);
    EXPECT_EQ(run(Sp800Key, Sp800IV, Sp800Plain, CRijndael::CBC, true), cbc);
    EXPECT_EQ(run(Sp800Key, Sp800IV, cbc, CRijndael::CBC, false), plain);
    EXPECT_EQ(run(Sp800Key, Sp800IV, Sp800Plain, CRijndael::CFB, true), cfb);
    EXPECT_EQ(run(Sp800Key, Sp800IV, cfb, CRijndael::CFB, false), plain);
}

TEST(CRijndaelTest, ChainCarriesOverUntilReset)
{
    ByteArray key = fromHex(Sp800Key), iv = fromHex(Sp800IV), plain = fromHex(Sp800Plain);
    CRijndael cipher;
    cipher.MakeKey(key.getData(), iv.getData());
    ByteArray first(plain), second(plain);
    // Two calls of two blocks each give the same as one call of four.
    cipher.Encrypt(plain.getData(), first.getData(), 32, CRijndael::CBC);
    cipher.Encrypt(plain.getData() + 32, first.getData() + 32, 32, CRijndael::CBC);
    EXPECT_EQ(toHex(first), run(Sp800Key, Sp800IV, Sp800Plain, CRijndael::CBC, true));
    cipher.ResetChain();
    cipher.Encrypt(plain.getData(), second.getData(), 64, CRijndael::CBC);
    EXPECT_EQ(toHex(second), toHex(first));
}

TEST(CRijndaelTest, InPlaceOperationInEveryMode)
{
    ByteArray key = fromHex(Sp800Key), iv = fromHex(Sp800IV);
    for (int mode : {CRijndael::ECB, CRijndael::CBC, CRijndael::CFB}) {
        ByteArray data = fromHex(Sp800Plain);
        CRijndael cipher;
        cipher.MakeKey(key.getData(), iv.getData());
        cipher.Encrypt(data.getData(), data.getData(), 64, mode);
        EXPECT_EQ(toHex(data), run(Sp800Key, Sp800IV, Sp800Plain, mode, true)) << mode;
        cipher.ResetChain();
        cipher.Decrypt(data.getData(), data.getData(), 64, mode);
        EXPECT_EQ(toHex(data), toHex(fromHex(Sp800Plain))) << mode;
    }
}

TEST(CRijndaelTest, MisuseThrowsTheStandardTexts)
{
    uint8_t block[32] = {};
    CRijndael cipher;
    try {
        cipher.Encrypt(block, block, 16, CRijndael::CBC);
        FAIL() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Object not Initialized");
    }
    EXPECT_THROW(cipher.DecryptBlock(block, block), std::logic_error);
    EXPECT_THROW(cipher.GetRounds(), std::logic_error);

    cipher.MakeKey(block, nullptr, 16, 16);
    for (size_t length : {size_t(1), size_t(15), size_t(17), size_t(31)}) {
        try {
            cipher.Encrypt(block, block, length, CRijndael::CBC);
            FAIL() << "no exception for " << length;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "Data not multiple of Block Size");
        }
        EXPECT_THROW(cipher.Decrypt(block, block, length, CRijndael::ECB), std::invalid_argument);
    }
    EXPECT_THROW(cipher.Encrypt(block, block, 16, 3), std::invalid_argument);
    EXPECT_THROW(cipher.MakeKey(block, nullptr, 20, 16), std::invalid_argument);
    EXPECT_THROW(cipher.MakeKey(block, nullptr, 16, 32), std::invalid_argument);
    EXPECT_THROW(cipher.MakeKey(nullptr, nullptr, 16, 16), std::invalid_argument);
}

} // namespace
