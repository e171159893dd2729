// The lock monitor on a scripted desktop: the lock reported on the second
// locked sample, the unlock on the first unlocked one, and what counts as
// locked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PresenceFixture.h"
#include "shared/monitoring/PCLockedMonitorService.h"

namespace {

using Ids = std::vector<int>;

// The flags are process-wide; each test starts as a new process would.
class LockMonitor : public PCLockedMonitorService {
public:
    explicit LockMonitor(Desktop& desktop) : PCLockedMonitorService(desktop) { forgetSamples(); }
    ~LockMonitor() override { forgetSamples(); }
};

class PCLockedMonitorServiceTest : public montest::PresenceTest {
protected:
    LockMonitor* m_lock = start(new LockMonitor(m_desktop));
};

TEST_F(PCLockedMonitorServiceTest, TakesNoMessages)
{
    Msg msg;
    msg.setType(Msg::SYSTEM_CHANGE_SERVICE);
    EXPECT_FALSE(m_lock->canProcessMsg(msg));
    EXPECT_FALSE(m_lock->processMsg(msg));
}

TEST_F(PCLockedMonitorServiceTest, TheLockIsReportedOnTheSecondLockedSampleAndTheUnlockAtOnce)
{
    run(3000);
    EXPECT_EQ(Ids{}, sent());
    m_desktop.lock();
    run(1000);
    EXPECT_EQ(Ids{}, sent()) << "one locked sample";
    run(1000);
    EXPECT_EQ(Ids{12}, sent()) << "the second";
    EXPECT_TRUE(status().locked());
    run(600000);
    EXPECT_EQ(Ids{12}, sent()) << "reported once";
    m_desktop.unlock();
    run(1000);
    EXPECT_EQ((Ids{12, 13}), sent()) << "the first unlocked sample";
    EXPECT_FALSE(status().locked());
    run(10000);
    EXPECT_EQ((Ids{12, 13}), sent());
}

TEST_F(PCLockedMonitorServiceTest, ASingleLockedSampleIsRememberedAcrossUnlockedOnes)
{
    m_desktop.lock();
    run(1000);
    m_desktop.unlock();
    run(30000);
    EXPECT_EQ(Ids{}, sent()) << "a single locked sample sends nothing";
    m_desktop.lock();
    run(1000);
    EXPECT_EQ(Ids{12}, sent()) << "the earlier sample counts: a later single one reports at once";
}

TEST_F(PCLockedMonitorServiceTest, ARunningScreenSaverCountsAsLocked)
{
    m_desktop.setScreenSaverRunning(true);
    run(2000);
    EXPECT_EQ(Ids{12}, sent());
    m_desktop.setScreenSaverRunning(false);
    run(1000);
    EXPECT_EQ((Ids{12, 13}), sent());
}

TEST_F(PCLockedMonitorServiceTest, WhatCountsAsAnAccessibleDesktop)
{
    EXPECT_TRUE(m_lock->canAccessDesktop());
    EXPECT_FALSE(m_lock->isPCLocked());
    m_desktop.setInputDesktop(Desktop::DesktopAccess::OpenFailed, 1);
    EXPECT_FALSE(m_lock->canAccessDesktop()) << "any failure to open";
    m_desktop.setInputDesktop(Desktop::DesktopAccess::NameFailed, 5);
    EXPECT_FALSE(m_lock->canAccessDesktop()) << "the name refused for want of access";
    EXPECT_TRUE(m_lock->isPCLocked());
    m_desktop.setInputDesktop(Desktop::DesktopAccess::NameFailed, 6);
    EXPECT_TRUE(m_lock->canAccessDesktop()) << "the name unreadable for another reason";
    EXPECT_FALSE(m_lock->isPCLocked());
    m_desktop.setInputDesktop(Desktop::DesktopAccess::Readable, 0, L"Winlogon");
    EXPECT_TRUE(m_lock->canAccessDesktop()) << "whatever its name, a readable desktop is open";
}

TEST_F(PCLockedMonitorServiceTest, TheNameIsReadIntoTwoHundredFiftySixBytes)
{
    m_desktop.setInputDesktop(Desktop::DesktopAccess::Readable, 0, std::wstring(127, L'd'));
    EXPECT_TRUE(m_lock->canAccessDesktop());
    const size_t before = m_desktop.inputDesktopReads();
    m_desktop.setInputDesktop(Desktop::DesktopAccess::Readable, 0, std::wstring(128, L'd'));
    EXPECT_TRUE(m_lock->canAccessDesktop()) << "too long for the buffer is not access denied";
    EXPECT_EQ(before + 1, m_desktop.inputDesktopReads());
}

TEST_F(PCLockedMonitorServiceTest, TheOlderScreenSaverTestLooksForItsDesktopAndIsNotPartOfTheLock)
{
    EXPECT_FALSE(m_lock->isScreenSaverActiveNT4());
    m_desktop.addDesktop(L"screen-saver");
    EXPECT_TRUE(m_lock->isScreenSaverActiveNT4());
    m_desktop.addDesktop(L"screen-saver", 5);
    EXPECT_TRUE(m_lock->isScreenSaverActiveNT4()) << "refused means it exists";
    m_desktop.addDesktop(L"screen-saver", 1);
    EXPECT_FALSE(m_lock->isScreenSaverActiveNT4());
    m_desktop.addDesktop(L"screen-saver");
    EXPECT_FALSE(m_lock->isPCLocked());
    run(5000);
    EXPECT_EQ(Ids{}, sent());
}

TEST_F(PCLockedMonitorServiceTest, SamplesOncePerSecond)
{
    const size_t before = m_desktop.inputDesktopReads();
    run(10000);
    EXPECT_EQ(before + 10, m_desktop.inputDesktopReads());
}

} // namespace
