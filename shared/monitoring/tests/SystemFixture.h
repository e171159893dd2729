#pragma once
// What the system model's tests share: a scripted desktop, a clock they
// drive, a folder of stand-in executables and the events traced.
#include <gtest/gtest.h>

#include <string>

#include "base/FileName.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

class SystemProbe : public System {
public:
    using System::System;
    void forgetApplication(const std::wstring& path) { m_applications.erase(FileName(path)); }
};

class SystemTest : public ::testing::Test {
protected:
    testsupport::EventRecorder m_events;
    testsupport::TempFolder m_folder{L"system"};
    ScriptedDesktop m_desktop;
    ManualClock m_clock;

    // A file to stand for an executable, so that its record can be read.
    std::wstring program(const std::wstring& name, const std::string& content = "MZ program")
    {
        const std::wstring path = m_folder.file(name);
        testsupport::writeFile(path, content);
        return path;
    }

    // count reports of one class, one every spacing seconds, are all
    // permitted; the next is taken but trips the limit, which then keeps
    // the strings it holds.
    void expectLimitTripsAfter(int count, long spacing, TopLevelWindow::PluginInfoQuality quality)
    {
        m_desktop.startProcess(100, program(L"clock.exe"));
        const native::Window a = m_desktop.openWindow(100, L"A");
        System system(m_desktop, m_clock);
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(system.setContextInfo(a, L"", L"t" + std::to_wstring(i), L"u", quality));
            m_clock.advance(spacing);
        }
        EXPECT_TRUE(system.findWindow(a)->contextInfoPermitted());
        EXPECT_TRUE(system.setContextInfo(a, L"", L"t" + std::to_wstring(count), L"u", quality));
        EXPECT_FALSE(system.findWindow(a)->contextInfoPermitted());
        EXPECT_EQ(L"t" + std::to_wstring(count - 1), system.findWindow(a)->getParam2());
    }
};
