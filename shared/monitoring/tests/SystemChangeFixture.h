#pragma once
// The system change service's tests' fixture: the service on a monitoring
// framework over a scripted desktop, with a manual clock and the traces
// recorded.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MonitoringFramework.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/SystemChangeService.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace systemchangetest {

using Events = std::vector<int>;

class SystemChangeServiceTest : public ::testing::Test {
protected:
    SystemChangeServiceTest()
    {
        m_desktop.useClock(m_clock);
        m_desktop.startProcess(100, program(L"writer.exe"));
        m_window = m_desktop.openWindow(100, L"Plan.txt - Writer");
        m_desktop.setForeground(m_window);
    }

    // Builds the service (and so the System) on the desktop as it is now.
    void start()
    {
        m_service = m_framework.add(new SystemChangeService(m_desktop, m_clock));
        m_recorder = m_framework.add(new montest::MsgRecorder({Msg::SYSTEM_CHANGE_SERVICE}));
        ASSERT_TRUE(m_framework.setup());
    }

    std::wstring program(const std::wstring& name)
    {
        const std::wstring path = m_folder.file(name);
        testsupport::writeFile(path, std::string("MZ"));
        return path;
    }

    // A SYSTEM_EVENT as a monitor sends it, routed by the framework.
    void event(int id, const wchar_t* reason = nullptr, int duration = -1)
    {
        Msg* msg = new Msg();
        msg->setType(Msg::SYSTEM_EVENT);
        msg->setAttributeValue(L"EventID", id);
        if (reason != nullptr)
            msg->setAttributeValue(L"ContextString1", std::wstring(reason));
        if (duration >= 0)
            msg->setAttributeValue(L"Duration", duration);
        m_framework.internal().pushMessage(msg);
        m_framework.drain();
    }

    void report(native::Window window, const std::wstring& s1, const std::wstring& s2,
                const std::wstring& s3, const std::wstring& quality)
    {
        Msg* msg = new Msg();
        msg->setType(Msg::PLUGIN_INFO);
        msg->setAttributeValue(L"HWND", GenericAppChangeService::handleToInt(window));
        msg->setAttributeValue(L"ContextString1", s1);
        msg->setAttributeValue(L"ContextString2", s2);
        msg->setAttributeValue(L"ContextString3", s3);
        msg->setAttributeValue(L"PluginInfoQuality", quality);
        m_framework.internal().pushMessage(msg);
        m_framework.drain();
    }

    Events announced() const { return m_recorder->numbers(L"SystemChangeEvent"); }
    void run(int64_t ms) { montest::runFor(m_framework, m_clock, ms); }
    UserStatus& status() { return m_service->getSystemInfo().getUserStatus(); }
    // The details of the last "New Event:" trace.
    std::wstring lastTrace() const
    {
        const auto traces = m_events.withId(1061501);
        return traces.empty() ? std::wstring(L"<none>") : traces.back().details;
    }

    testsupport::EventRecorder m_events;
    testsupport::TempFolder m_folder{L"changes"};
    ScriptedDesktop m_desktop;
    ManualClock m_clock;
    montest::TestFramework m_framework{m_clock};
    native::Window m_window = nullptr;
    SystemChangeService* m_service = nullptr;
    montest::MsgRecorder* m_recorder = nullptr;
};

} // namespace systemchangetest
