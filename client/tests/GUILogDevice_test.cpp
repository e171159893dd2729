#include "client/GUILogDevice.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/Event.h"
#include "base/Logger.h"
#include "testsupport/EventCapture.h"

namespace {

TEST(GUILogDeviceTest, LinesComeOutOldestFirstWithTheirHeaders)
{
    GUILogDevice device;
    device.Setup();
    std::wstring line = L"unchanged";
    EXPECT_FALSE(device.getNextLogLine(line));
    EXPECT_EQ(L"unchanged", line);
    Event first(1190001, L"first", TC_AT(L"T::a"));
    Event second(1190002, L"second", TC_AT(L"T::b"));
    device.Write(first);
    device.Write(second);
    ASSERT_TRUE(device.getNextLogLine(line));
    EXPECT_NE(std::wstring::npos, line.find(L"1190001"));
    EXPECT_NE(std::wstring::npos, line.find(L"first"));
    EXPECT_EQ(L"\r\n", line.substr(line.size() - 2));
    ASSERT_TRUE(device.getNextLogLine(line));
    EXPECT_NE(std::wstring::npos, line.find(L"second"));
    EXPECT_FALSE(device.getNextLogLine(line));
}

TEST(GUILogDeviceTest, WritesFromOtherThreadsAreAllKept)
{
    GUILogDevice device;
    device.Setup();
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&device, t] {
            for (int i = 0; i < 200; ++i) {
                Event e(1190000 + t, L"line", TC_AT(L"T::w"));
                device.Write(e);
            }
        });
    }
    int taken = 0;
    std::wstring line;
    for (auto& w : writers)
        w.join();
    while (device.getNextLogLine(line))
        ++taken;
    EXPECT_EQ(800, taken);
}

TEST(GUILogDeviceTest, AsTheLoggersTraceDeviceItReceivesTraces)
{
    testsupport::EventRecorder recorder;
    auto* device = new GUILogDevice;
    Logger::addCustomTraceDevice(device);
    Event e(1190123, L"through the logger", TC_AT(L"T::c"));
    Logger::Trace(e);
    std::wstring line;
    ASSERT_TRUE(device->getNextLogLine(line));
    EXPECT_NE(std::wstring::npos, line.find(L"through the logger"));
}

} // namespace
