#include <gtest/gtest.h>

#include "base/Registry.h"
#include "base/Tools.h"
#include "testsupport/TestSupport.h"

namespace {

class RegistryTest : public ::testing::Test {
protected:
    testsupport::TestKey key{L"registry-"};
    Registry registry{key.root(), key.path()};
};

ByteArray bytesOf(std::initializer_list<uint8_t> values)
{
    std::vector<uint8_t> v(values);
    return ByteArray(v.data(), static_cast<int32_t>(v.size()));
}

TEST_F(RegistryTest, ValuesOfEachTypeRoundTrip)
{
    ASSERT_TRUE(registry.write(L"Count", 42));
    ASSERT_TRUE(registry.write(L"Negative", -2));
    ASSERT_TRUE(registry.write(L"Text", std::wstring(L"C:\\Program Files\\Ondrivex\\")));
    ASSERT_TRUE(registry.write(L"Empty", L""));
    // e-acute and U+1F600, which UTF-16 stores as a surrogate pair.
    const std::wstring wide = sizeof(wchar_t) == 2 ? std::wstring(L"\u00e9\xD83D\xDE00")
                                                   : std::wstring(L"\u00e9\U0001F600");
    ASSERT_TRUE(registry.write(L"Wide", wide));
    ASSERT_TRUE(registry.write(L"Bytes", bytesOf({0x00, 0x01, 0xFF, 0x00})));

    EXPECT_EQ(registry.read(L"Count", 7), 42);
    EXPECT_EQ(registry.read(L"Negative", 7), -2);
    EXPECT_EQ(registry.read(L"Text", L"default"), L"C:\\Program Files\\Ondrivex\\");
    EXPECT_EQ(registry.read(L"Empty", L"default"), L"");
    EXPECT_EQ(registry.read(L"Wide", L"default"), wide);
    EXPECT_EQ(registry.read(L"Bytes", ByteArray()), bytesOf({0x00, 0x01, 0xFF, 0x00}));
}

TEST_F(RegistryTest, MissingValuesGiveTheirDefaults)
{
    EXPECT_EQ(registry.read(L"Missing", 7), 7);
    EXPECT_EQ(registry.read(L"Missing", L"fallback"), L"fallback");
    EXPECT_EQ(registry.read(L"Missing", std::wstring(L"fallback")), L"fallback");
    EXPECT_EQ(registry.read(L"Missing", bytesOf({9})), bytesOf({9}));
    EXPECT_EQ(registry.read(L"No\\Such\\Key\\Value", 7), 7);
    EXPECT_EQ(registry.read(L"Missing", static_cast<const wchar_t*>(nullptr)), L"");
}

TEST_F(RegistryTest, SubPathReadsTheValueOfTheSubKey)
{
    ASSERT_TRUE(registry.write(L"Sub\\Deeper\\Value", 5));
    EXPECT_EQ(registry.read(L"Sub\\Deeper\\Value", 0), 5);
    EXPECT_EQ(Registry(key.root(), key.path() + L"\\Sub\\Deeper").read(L"Value", 0), 5);
    EXPECT_EQ(Registry(key.root(), key.path() + L"\\Sub").read(L"Deeper\\Value", 0), 5);
    // The value lives in the subkey, not beside it.
    EXPECT_EQ(registry.read(L"Value", 7), 7);
}

TEST_F(RegistryTest, IntegerFormReadsTheFirstFourBytesOfAnyValue)
{
    ASSERT_TRUE(registry.write(L"Text", L"ABCD"));
    // 'A' 00 'B' 00, little-endian.
    EXPECT_EQ(registry.read(L"Text", 7), 0x00420041);
    ASSERT_TRUE(registry.write(L"Long", bytesOf({1, 2, 3, 4, 5, 6})));
    EXPECT_EQ(registry.read(L"Long", 7), 0x04030201);
}

TEST_F(RegistryTest, IntegerFormOfAShortValueReadsOnlyItsOwnBytes)
{
    ASSERT_TRUE(registry.write(L"Two", bytesOf({0x34, 0x12})));
    EXPECT_EQ(registry.read(L"Two", 7), 0x1234);
    ASSERT_TRUE(registry.write(L"One", bytesOf({0xFF})));
    EXPECT_EQ(registry.read(L"One", 7), 0xFF);
    ASSERT_TRUE(registry.write(L"None", ByteArray()));
    EXPECT_EQ(registry.read(L"None", 7), 7);
    EXPECT_EQ(registry.read(L"None", bytesOf({1})), ByteArray());
}

TEST_F(RegistryTest, TextAndBytesFormsReadOnlyTheirOwnType)
{
    ASSERT_TRUE(registry.write(L"Number", 3));
    ASSERT_TRUE(registry.write(L"Text", L"abc"));
    ASSERT_TRUE(registry.write(L"Bytes", bytesOf({'a', 0, 'b', 0})));
    EXPECT_EQ(registry.read(L"Number", L"default"), L"default");
    EXPECT_EQ(registry.read(L"Bytes", L"default"), L"default");
    EXPECT_EQ(registry.read(L"Number", bytesOf({9})), bytesOf({9}));
    EXPECT_EQ(registry.read(L"Text", bytesOf({9})), bytesOf({9}));
}

TEST_F(RegistryTest, RewritingAValueReplacesItsType)
{
    ASSERT_TRUE(registry.write(L"Value", 1));
    ASSERT_TRUE(registry.write(L"Value", L"now text"));
    EXPECT_EQ(registry.read(L"Value", L"default"), L"now text");
    EXPECT_EQ(registry.read(L"Value", 7), 0x006F006E); // "no"
}

TEST_F(RegistryTest, NamesAreCaseInsensitive)
{
    ASSERT_TRUE(registry.write(L"Sub\\MixedCase", 11));
    EXPECT_EQ(registry.read(L"SUB\\mixedcase", 0), 11);
    ASSERT_TRUE(registry.write(L"sub\\MIXEDCASE", 12));
    EXPECT_EQ(registry.read(L"Sub\\MixedCase", 0), 12);
}

TEST_F(RegistryTest, RootAndValuePathsAreCleaned)
{
    Registry messy(key.root(), L"\\" + key.path() + L"\\ ");
    EXPECT_EQ(messy.getRootKeyPath(), key.path());
    ASSERT_TRUE(messy.write(L"\\Sub\\Value\\", 9));
    EXPECT_EQ(registry.read(L"Sub\\Value", 0), 9);

    std::wstring keyPath = L"stale", valueName = L"stale";
    registry.splitValuePath(L"/Sub\\Value;", keyPath, valueName);
    EXPECT_EQ(keyPath, key.path() + L"\\Sub");
    EXPECT_EQ(valueName, L"Value");
    registry.splitValuePath(L"Plain", keyPath, valueName);
    EXPECT_EQ(keyPath, key.path());
    EXPECT_EQ(valueName, L"Plain");

    messy.setRootKeyPath(L"Other\\");
    EXPECT_EQ(messy.getRootKeyPath(), L"Other");
}

// Registry cleans its paths by Tools::cleanString's rule without calling it.
TEST(RegistryPathTest, CleansPathsAsToolsCleanStringDoes)
{
    for (const std::wstring path :
         {L"", L"Software\\Ondrivex", L"\\Software\\Ondrivex\\", L" ;:.\t/\\A B/.", L"...",
          L"a.b;c", L"\t\\Key Name\\Sub;  ", L"\u00e9t\u00e9:"}) {
        EXPECT_EQ(Registry(Registry::CurrentUser, path).getRootKeyPath(), Tools::cleanString(path))
            << path;
        Registry registry(Registry::CurrentUser, L"Root");
        registry.setRootKeyPath(path);
        EXPECT_EQ(registry.getRootKeyPath(), Tools::cleanString(path)) << path;
        std::wstring keyPath, valueName;
        registry.splitValuePath(L"Sub\\" + path, keyPath, valueName);
        const std::wstring full =
            Tools::cleanString(path) + L"\\" + Tools::cleanString(L"Sub\\" + path);
        EXPECT_EQ(keyPath + L"\\" + valueName, full) << path;
    }
}

TEST_F(RegistryTest, DeleteValueRemovesAValueDirectlyUnderTheRootPath)
{
    ASSERT_TRUE(registry.write(L"Gone", 1));
    ASSERT_TRUE(registry.write(L"Kept", 2));
    EXPECT_TRUE(registry.deleteValue(L"Gone"));
    EXPECT_EQ(registry.read(L"Gone", 7), 7);
    EXPECT_EQ(registry.read(L"Kept", 7), 2);
    EXPECT_FALSE(registry.deleteValue(L"Gone"));
    // The name is not a sub-path here.
    ASSERT_TRUE(registry.write(L"Sub\\Value", 3));
    EXPECT_FALSE(registry.deleteValue(L"Sub\\Value"));
    EXPECT_EQ(registry.read(L"Sub\\Value", 7), 3);
}

TEST_F(RegistryTest, RootKeysAreSeparateStores)
{
    testsupport::TestKey machineKey(L"registry-root-", Registry::LocalMachine);
    Registry machine(Registry::LocalMachine, machineKey.path());
    ASSERT_TRUE(machine.write(L"Where", L"machine"));
    ASSERT_TRUE(registry.write(L"Where", L"user"));
    EXPECT_EQ(machine.read(L"Where", L""), L"machine");
    EXPECT_EQ(Registry(Registry::CurrentUser, machineKey.path()).read(L"Where", L"none"), L"none");
    EXPECT_EQ(registry.read(L"Where", L""), L"user");
}

} // namespace
