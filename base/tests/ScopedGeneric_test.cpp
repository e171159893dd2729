#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "base/SystemError.h"
#include "base/ScopedGeneric.h"
#include "base/Tools.h"

namespace {

// A resource whose clean-up, like many system calls, overwrites the last
// error; it records what it freed. Both null and -1 count as none, as
// kernel handles do.
std::vector<int> g_freed;

struct FakeTraits {
    using Handle = int;
    static Handle invalid() { return 0; }
    static bool isValid(Handle h) { return h != 0 && h != -1; }
    static void free(Handle h)
    {
        g_freed.push_back(h);
        Tools::setLastSystemError(9999);
    }
};

using ScopedFake = ScopedGeneric<FakeTraits>;

class ScopedGenericTest : public ::testing::Test {
protected:
    void SetUp() override { g_freed.clear(); }
};

TEST_F(ScopedGenericTest, DestructionFreesOnceAndKeepsTheLastError)
{
    {
        ScopedFake owner(7);
        EXPECT_TRUE(owner.valid());
        EXPECT_EQ(7, owner.get());
        Tools::setLastSystemError(1234);
    }
    EXPECT_EQ(std::vector<int>{7}, g_freed);
    EXPECT_EQ(1234u, Tools::getLastSystemError());
}

TEST_F(ScopedGenericTest, ResetFreesTheOldHandleKeepsTheLastErrorAndTakesTheNew)
{
    ScopedFake owner(3);
    Tools::setLastSystemError(42);
    owner.reset(4);
    EXPECT_EQ(std::vector<int>{3}, g_freed);
    EXPECT_EQ(42u, Tools::getLastSystemError());
    EXPECT_EQ(4, owner.get());
    owner.reset();
    EXPECT_EQ((std::vector<int>{3, 4}), g_freed);
    EXPECT_FALSE(owner.valid());
    EXPECT_EQ(42u, Tools::getLastSystemError());
}

TEST_F(ScopedGenericTest, ResettingToTheHeldHandleFreesNothing)
{
    ScopedFake owner(5);
    owner.reset(5);
    EXPECT_TRUE(g_freed.empty());
    EXPECT_EQ(5, owner.release());
}

TEST_F(ScopedGenericTest, EveryEmptyValueOfTheTraitsIsLeftAlone)
{
    {
        ScopedFake none;
        ScopedFake minusOne(-1);
        EXPECT_FALSE(none.valid());
        EXPECT_FALSE(static_cast<bool>(minusOne));
    }
    EXPECT_TRUE(g_freed.empty());
}

TEST_F(ScopedGenericTest, ReleaseGivesUpOwnership)
{
    {
        ScopedFake owner(8);
        EXPECT_EQ(8, owner.release());
        EXPECT_FALSE(owner.valid());
        EXPECT_EQ(0, owner.get());
    }
    EXPECT_TRUE(g_freed.empty());
}

TEST_F(ScopedGenericTest, MovesTransferOwnershipAndFreeWhatWasHeld)
{
    ScopedFake a(1);
    ScopedFake b(std::move(a));
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(1, b.get());
    ScopedFake c(2);
    c = std::move(b);
    EXPECT_EQ(std::vector<int>{2}, g_freed);
    EXPECT_EQ(1, c.get());
    EXPECT_FALSE(b.valid());
}

TEST_F(ScopedGenericTest, ReceiveFreesWhatWasHeldAndHandsOutTheSlot)
{
    ScopedFake owner(6);
    int* slot = owner.receive();
    EXPECT_EQ(std::vector<int>{6}, g_freed);
    *slot = 11;
    EXPECT_EQ(11, owner.get());
}

TEST_F(ScopedGenericTest, LastErrorKeeperRestoresTheErrorOnItsEnd)
{
    Tools::setLastSystemError(77);
    {
        SystemError::Keep keep;
        Tools::setLastSystemError(78);
    }
    EXPECT_EQ(77u, Tools::getLastSystemError());
}

} // namespace
