#include <gtest/gtest.h>

#include <memory>

#include "base/win32/WindowsSupport.h"
#include "shared/monitoring/win32/SystemSingleton.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

class SystemSingletonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_name = L"Local\\" + testsupport::uniqueName(L"OndrivexTests.Singleton.") + L"." +
                 std::wstring(test.begin(), test.end());
    }
    static std::wstring probe() { return testsupport::helperProgram(L"mon_singleton_probe"); }

    testsupport::EventRecorder m_events;
    std::wstring m_name;
};

TEST_F(SystemSingletonTest, FirstCreateHoldsTheNameUntilDestroyed)
{
    EXPECT_FALSE(SystemSingleton::doesObjectExist(m_name.c_str()));
    {
        SystemSingleton first;
        EXPECT_EQ(nullptr, first.getHandle());
        SetLastError(0xdeadbeef);
        EXPECT_TRUE(first.create(m_name.c_str()));
        EXPECT_NE(nullptr, first.getHandle());
        EXPECT_TRUE(SystemSingleton::doesObjectExist(m_name.c_str()));
    }
    EXPECT_FALSE(SystemSingleton::doesObjectExist(m_name.c_str()));
    EXPECT_TRUE(m_events.all().empty());

    SystemSingleton nameless;
    EXPECT_FALSE(nameless.create(nullptr));
    EXPECT_FALSE(SystemSingleton::doesObjectExist(nullptr));
}

TEST_F(SystemSingletonTest, SecondCreateIsRefusedAndLogged)
{
    SystemSingleton first, second;
    ASSERT_TRUE(first.create(m_name.c_str()));
    EXPECT_FALSE(second.create(m_name.c_str()));
    // The refused object still holds a handle, closed with it.
    EXPECT_NE(nullptr, second.getHandle());

    const std::vector<testsupport::CapturedEvent> logged = m_events.withId(1061602);
    ASSERT_EQ(1u, logged.size());
    EXPECT_TRUE(logged[0].logged);
    EXPECT_EQ(L"SystemSingleton::create failed. Name already existed", logged[0].description);
    EXPECT_EQ(L" Object Name:" + m_name, logged[0].details);
}

TEST_F(SystemSingletonTest, AnotherProcessIsRefusedWhileThisOneHoldsTheName)
{
    SystemSingleton held;
    ASSERT_TRUE(held.create(m_name.c_str()));
    testsupport::ChildProcess child;
    ASSERT_TRUE(child.start(probe(), {L"check", m_name}));
    // create refused (no 1), event 1061602 logged (2), object exists (4)
    int code = -1;
    EXPECT_TRUE(child.wait(30000, code));
    EXPECT_EQ(2 + 4, code);
}

TEST_F(SystemSingletonTest, NameHeldByAnotherProcessRefusesThisOne)
{
    const std::wstring ready = m_name + L".Ready", quit = m_name + L".Quit";
    HANDLE readyEvent = CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    HANDLE quitEvent = CreateEventW(nullptr, TRUE, FALSE, quit.c_str());
    ASSERT_NE(nullptr, readyEvent);
    ASSERT_NE(nullptr, quitEvent);
    testsupport::ChildProcess holder;
    ASSERT_TRUE(holder.start(probe(), {L"hold", m_name, ready, quit}));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(readyEvent, 30000));

    EXPECT_TRUE(SystemSingleton::doesObjectExist(m_name.c_str()));
    {
        SystemSingleton mine;
        EXPECT_FALSE(mine.create(m_name.c_str()));
        EXPECT_EQ(1u, m_events.withId(1061602).size());
    }

    SetEvent(quitEvent);
    int code = -1;
    EXPECT_TRUE(holder.wait(30000, code));
    EXPECT_EQ(0, code);
    EXPECT_FALSE(SystemSingleton::doesObjectExist(m_name.c_str()));
    SystemSingleton after;
    EXPECT_TRUE(after.create(m_name.c_str()));
    CloseHandle(readyEvent);
    CloseHandle(quitEvent);
}

} // namespace
