// The backup monitor: a switch of the foreground process noticed within
// 200 ms, remembered once the change comes back announced, and ignored while
// the user is away.
#include <gtest/gtest.h>

#include <vector>

#include "PresenceFixture.h"
#include "shared/monitoring/BackupActivityMonitorService.h"

namespace {

using Ids = std::vector<int>;

class BackupActivityMonitorServiceTest : public montest::PresenceTest {
protected:
    BackupActivityMonitorService* m_backup = start(new BackupActivityMonitorService(system()));
};

TEST_F(BackupActivityMonitorServiceTest, TakesAnnouncedChangesOnly)
{
    for (int type = 0; type <= 20; ++type) {
        Msg msg;
        msg.setType(static_cast<Msg::MsgType>(type));
        EXPECT_EQ(type == Msg::SYSTEM_CHANGE_SERVICE, m_backup->canProcessMsg(msg)) << type;
    }
}

TEST_F(BackupActivityMonitorServiceTest, TheFirstCheckReportsTheProcessNobodyAnnouncedYet)
{
    EXPECT_EQ(0u, m_backup->getLastProcessID());
    run(200);
    EXPECT_EQ(Ids{1}, sent());
    EXPECT_EQ(Ids{0}, announced()) << "the system change service took it as a window change";
    EXPECT_EQ(100u, m_backup->getLastProcessID()) << "learnt from the announcement";
    run(5000);
    EXPECT_EQ(Ids{1}, sent());
}

TEST_F(BackupActivityMonitorServiceTest, ASwitchToAnotherApplicationIsReportedOnce)
{
    run(1000);
    m_sent->received.clear();
    m_desktop.setForeground(m_mailer);
    run(200);
    EXPECT_EQ(Ids{1}, sent());
    EXPECT_EQ(200u, m_backup->getLastProcessID());
    run(5000);
    EXPECT_EQ(Ids{1}, sent());
}

TEST_F(BackupActivityMonitorServiceTest, AnotherWindowOfTheSameProcessIsNoSwitch)
{
    run(1000);
    m_sent->received.clear();
    const native::Window second = m_desktop.openWindow(100, L"Letter.txt - Writer");
    m_desktop.setForeground(second);
    run(2000);
    EXPECT_EQ(Ids{}, sent());
}

TEST_F(BackupActivityMonitorServiceTest, TheRememberedProcessFollowsOnlyAnnouncements)
{
    run(1000);
    m_sent->received.clear();
    m_desktop.setForeground(m_mailer);
    m_backup->onTimer();
    m_backup->onTimer();
    EXPECT_EQ(100u, m_backup->getLastProcessID()) << "not changed by its own check";
    m_framework.drain();
    EXPECT_EQ((Ids{1, 1}), sent()) << "checks before the announcement came back both report";
    EXPECT_EQ(200u, m_backup->getLastProcessID());
    Msg any;
    any.setType(Msg::SYSTEM_CHANGE_SERVICE);
    any.setAttributeValue(L"SystemChangeEvent", 12);
    m_desktop.setForeground(m_writer);
    m_backup->processMsg(any);
    EXPECT_EQ(100u, m_backup->getLastProcessID()) << "whatever the event";
}

TEST_F(BackupActivityMonitorServiceTest, WhileIdleOrLockedSwitchingSendsNothing)
{
    run(1000);
    declare(4); // idle
    m_desktop.setForeground(m_mailer);
    run(5000);
    EXPECT_EQ(Ids{}, sent());
    declare(5); // active again
    EXPECT_EQ(200u, m_backup->getLastProcessID())
        << "the announcement of the return already names the new process";
    run(1000);
    EXPECT_EQ(Ids{}, sent());

    declare(12); // locked
    m_desktop.setForeground(m_writer);
    run(5000);
    EXPECT_EQ(Ids{}, sent());
}

TEST_F(BackupActivityMonitorServiceTest, WithoutAnActiveWindowNothingIsSent)
{
    run(1000);
    m_sent->received.clear();
    m_desktop.setForeground(nullptr);
    run(2000);
    EXPECT_EQ(Ids{}, sent());
}

} // namespace
