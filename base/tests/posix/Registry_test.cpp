#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/Registry.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/TestSupport.h"

namespace {

namespace fs = std::filesystem;

class RegistryStoreTest : public ::testing::Test {
protected:
    fs::path storeFile() const
    {
        return fs::path(std::getenv("ONDRIVEX_REGISTRY_DIR")) / "HKEY_CURRENT_USER.reg";
    }
    std::string storeText() const
    {
        std::ifstream in(storeFile(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    testsupport::TestKey key{L"store-"};
    Registry registry{key.root(), key.path()};
};

TEST_F(RegistryStoreTest, StoreKeepsWhatWindowsWouldStore)
{
    ASSERT_TRUE(registry.write(L"Line\nBreak", L"A"));
    ASSERT_TRUE(registry.write(L"Count", 258));
    const std::string text = storeText();
    EXPECT_EQ(text.rfind("ONDRIVEX-REGISTRY 1\n", 0), 0u);
    // A terminated UTF-16LE string, a four-byte little-endian number, and
    // a line break in a name kept off the line structure.
    EXPECT_NE(text.find("Line%0ABreak\t1\t41000000\n"), std::string::npos);
    EXPECT_NE(text.find("Count\t4\t02010000\n"), std::string::npos);
    EXPECT_EQ(registry.read(L"Line\nBreak", L""), L"A");
}

TEST_F(RegistryStoreTest, DamagedLinesAreSkippedAndTheRestKept)
{
    ASSERT_TRUE(registry.write(L"Good", 1));
    {
        std::ofstream out(storeFile(), std::ios::binary | std::ios::app);
        out << "no tabs at all\n"
            << "a\tb\tnotanumber\t00\n"
            << "a\tb\t4\t0\n"    // odd hex length
            << "a\tb\t4\tzz\n"   // not hex
            << "a%Z\tb\t4\t00\n" // broken escape
            << "\t\t\t\t\t\n";
    }
    EXPECT_EQ(registry.read(L"Good", 7), 1);
    ASSERT_TRUE(registry.write(L"Second", 2));
    EXPECT_EQ(registry.read(L"Good", 7), 1);
    EXPECT_EQ(registry.read(L"Second", 7), 2);
}

TEST_F(RegistryStoreTest, AStoreThatCannotBeReadIsNotReplaced)
{
    fs::create_directories(storeFile().parent_path());
    fs::remove(storeFile());
    fs::create_directory(storeFile()); // exists, but reading it fails
    EXPECT_FALSE(registry.write(L"Value", 1));
    EXPECT_EQ(registry.read(L"Value", 7), 7);
    EXPECT_TRUE(fs::is_directory(storeFile()));
    fs::remove(storeFile());
}

TEST_F(RegistryStoreTest, ConcurrentWritersInProcessesAndThreadsLoseNothing)
{
    const int perWriter = 40;
    auto writer = [&](const std::wstring& prefix) {
        return testsupport::runProgram(testsupport::helperProgram(L"base_registry_writer"),
                                       {key.path(), prefix, std::to_wstring(perWriter)});
    };
    int rcA = -1, rcB = -1;
    std::thread a([&] { rcA = writer(L"a"); });
    std::thread b([&] { rcB = writer(L"b"); });
    int failures = 0;
    for (int i = 0; i < perWriter; ++i)
        failures += registry.write(L"t" + std::to_wstring(i), i) ? 0 : 1;
    a.join();
    b.join();
    EXPECT_EQ(rcA, 0);
    EXPECT_EQ(rcB, 0);
    EXPECT_EQ(failures, 0);
    for (const wchar_t* prefix : {L"a", L"b", L"t"}) {
        for (int i = 0; i < perWriter; ++i)
            EXPECT_EQ(registry.read(prefix + std::to_wstring(i), -1), i) << prefix << i;
    }
}

} // namespace
