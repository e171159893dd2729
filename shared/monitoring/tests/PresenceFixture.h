#pragma once
// What the presence monitors' tests share: a scripted desktop on a clock the
// test drives, a framework whose timers that clock drives, the system change
// service owning the System, and recorders of the SYSTEM_EVENT messages the
// monitors send and the changes announced.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MonitoringFramework.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/SystemChangeService.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace montest {

class PresenceTest : public ::testing::Test {
protected:
    // The tick count starts at startTick (the wrap tests start close to it).
    explicit PresenceTest(uint32_t startTick = 7000000) : m_clock(1700000000, startTick)
    {
        m_desktop.useClock(m_clock);
        m_desktop.startProcess(100, program(L"writer.exe"));
        m_desktop.startProcess(200, program(L"mailer.exe"));
        m_writer = m_desktop.openWindow(100, L"Plan.txt - Writer");
        m_mailer = m_desktop.openWindow(200, L"Inbox - Mailer");
        m_desktop.setForeground(m_writer);
        m_desktop.userInput();
        m_changes = m_framework.add(new SystemChangeService(m_desktop, m_clock));
        m_sent = m_framework.add(new MsgRecorder({Msg::SYSTEM_EVENT}));
        m_announced = m_framework.add(new MsgRecorder({Msg::SYSTEM_CHANGE_SERVICE}));
    }

    // Adds the monitor under test and sets every service up.
    template <class S>
    S* start(S* service)
    {
        m_framework.add(service);
        EXPECT_TRUE(m_framework.setup());
        return service;
    }

    std::wstring program(const std::wstring& name)
    {
        const std::wstring path = m_folder.file(name);
        testsupport::writeFile(path, std::string("MZ ") + std::string(name.begin(), name.end()));
        return path;
    }

    // Time passes, the framework pulsed every 100 ms (or every stepMs).
    void run(int64_t ms, int64_t stepMs = 100) { runFor(m_framework, m_clock, ms, stepMs); }
    // The "EventID" of every SYSTEM_EVENT sent so far.
    std::vector<int> sent() const { return m_sent->numbers(L"EventID"); }
    std::vector<int> announced() const { return m_announced->numbers(L"SystemChangeEvent"); }
    UserStatus& status() { return system().getUserStatus(); }
    System& system() { return m_changes->getSystemInfo(); }
    // A SYSTEM_EVENT as if another monitor or the status window sent it.
    void declare(int eventId, int duration = 0)
    {
        Msg* msg = new Msg();
        msg->setType(Msg::SYSTEM_EVENT);
        msg->setAttributeValue(L"EventID", eventId);
        msg->setAttributeValue(L"Duration", duration);
        m_framework.internal().pushMessage(msg);
        m_framework.drain();
        m_sent->received.clear();
        m_announced->received.clear();
    }

    testsupport::EventRecorder m_events;
    testsupport::TempFolder m_folder{L"presence"};
    ScriptedDesktop m_desktop;
    ManualClock m_clock;
    TestFramework m_framework{m_clock};
    native::Window m_writer = nullptr;
    native::Window m_mailer = nullptr;
    SystemChangeService* m_changes = nullptr;
    MsgRecorder* m_sent = nullptr;
    MsgRecorder* m_announced = nullptr;
};

} // namespace montest
