#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <thread>
#include <vector>

#include "ExclusiveFileHold.h"
#include "base/ByteArray.h"
#include "base/Event.h"
#include "base/File.h"
#include "base/FileLogDevice.h"
#include "base/Logger.h"
#include "base/Registry.h"
#include "base/Tools.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

using testsupport::EventJournal;
using testsupport::CaptureDevice;

namespace {

using Sink = std::shared_ptr<EventJournal>;

// Records the order in which devices are shut down and destroyed.
class OrderDevice : public LogDevice {
public:
    OrderDevice(std::shared_ptr<std::vector<std::wstring>> journal, std::wstring name)
        : m_journal(std::move(journal)), m_name(std::move(name))
    {}
    ~OrderDevice() override { m_journal->push_back(L"destroy " + m_name); }
    void Setup() override { m_journal->push_back(L"setup " + m_name); }
    void Write(Event&) override { m_journal->push_back(L"write " + m_name); }
    void ShutDown() override { m_journal->push_back(L"shutdown " + m_name); }

private:
    std::shared_ptr<std::vector<std::wstring>> m_journal;
    std::wstring m_name;
};

class ThrowingDevice : public LogDevice {
public:
    void Setup() override {}
    void Write(Event&) override { throw 1; }
    void ShutDown() override {}
};

// Traces its own failure from inside Write, as the event log device does.
class SelfTracingDevice : public LogDevice {
public:
    void Setup() override {}
    void Write(Event& event) override
    {
        if (event.getID() == 1051202)
            return;
        Event failure(1051202, L"Failed to write to the Eventlog",
                      TC_AT(L"SelfTracingDevice::Write"));
        Logger::Trace(failure);
    }
    void ShutDown() override {}
};

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override { m_app = testsupport::uniqueName(L"LoggerTest"); }
    std::wstring m_app;
};

TEST_F(LoggerTest, DoesNothingBeforeInitialise)
{
    Sink sink = std::make_shared<EventJournal>();
    Logger::addCustomTraceDevice(new CaptureDevice(sink));
    Event e(1, L"before", TC_AT(L"f"));
    Logger::Log(e);
    Logger::Trace(e);
    Logger::shutDown();
    EXPECT_FALSE(Logger::isInitialised());

    Logger::initialise(m_app);
    Logger::Trace(e);
    EXPECT_TRUE(sink->empty()) << "a device added before initialise must not be kept";
}

TEST_F(LoggerTest, LogReachesLogAndTraceDevicesTraceOnlyTrace)
{
    Logger::initialise(m_app);
    Sink logged = std::make_shared<EventJournal>();
    Sink traced = std::make_shared<EventJournal>();
    Logger::addCustomLogDevice(new CaptureDevice(logged));
    Logger::addCustomTraceDevice(new CaptureDevice(traced));

    Event administrative(10, L"for the event log", TC_AT(L"f"));
    Logger::Log(administrative);
    Event diagnostic(11, L"trace only", TC_AT(L"f"));
    Logger::Trace(diagnostic);

    ASSERT_EQ(logged->size(), 1u);
    EXPECT_EQ(logged->at(0).id, 10u);
    ASSERT_EQ(traced->size(), 2u);
    EXPECT_EQ(traced->at(0).id, 10u);
    EXPECT_EQ(traced->at(1).id, 11u);
    Logger::shutDown();
}

TEST_F(LoggerTest, ThrowingDeviceIsSwallowedAndSkipsTheRestOfThatCall)
{
    Logger::initialise(m_app);
    Sink first = std::make_shared<EventJournal>();
    Sink last = std::make_shared<EventJournal>();
    Logger::addCustomTraceDevice(new CaptureDevice(first));
    Logger::addCustomTraceDevice(new ThrowingDevice);
    Logger::addCustomTraceDevice(new CaptureDevice(last));

    Event e(12, L"x", TC_AT(L"f"));
    EXPECT_NO_THROW(Logger::Trace(e));
    EXPECT_EQ(first->size(), 1u);
    EXPECT_TRUE(last->empty());
    Logger::shutDown();
}

// The tests' recorder takes both sides of the logger; a logged event, which
// reaches the trace devices as well, is still recorded once.
TEST_F(LoggerTest, RecorderKeepsEachEventOnceMarkedByTheWayItCame)
{
    testsupport::EventRecorder recorder(m_app);
    Event logged(20, L"logged", TC_AT(L"f"));
    Logger::Log(logged);
    Event traced(21, L"traced", TC_AT(L"f"));
    Logger::Trace(traced);
    const std::vector<testsupport::CapturedEvent> all = recorder.all();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, 20u);
    EXPECT_TRUE(all[0].logged);
    EXPECT_EQ(all[1].id, 21u);
    EXPECT_FALSE(all[1].logged);
}

TEST_F(LoggerTest, DeviceTracingFromInsideWriteDoesNotDeadlock)
{
    Logger::initialise(m_app);
    Sink sink = std::make_shared<EventJournal>();
    Logger::addCustomLogDevice(new SelfTracingDevice);
    Logger::addCustomTraceDevice(new CaptureDevice(sink));
    Event e(13, L"x", TC_AT(L"f"));
    Logger::Log(e);
    ASSERT_EQ(sink->size(), 2u);
    EXPECT_EQ(sink->at(0).id, 1051202u);
    EXPECT_EQ(sink->at(1).id, 13u);
    Logger::shutDown();
}

TEST_F(LoggerTest, ShutDownStopsAndDestroysLogDevicesThenTraceDevicesInOrder)
{
    Logger::initialise(m_app);
    auto journal = std::make_shared<std::vector<std::wstring>>();
    Logger::addCustomTraceDevice(new OrderDevice(journal, L"t1"));
    Logger::addCustomLogDevice(new OrderDevice(journal, L"l1"));
    Logger::addCustomLogDevice(new OrderDevice(journal, L"l2"));
    journal->clear();
    Logger::shutDown();
    const std::vector<std::wstring> expected = {L"shutdown l1", L"destroy l1",  L"shutdown l2",
                                                L"destroy l2",  L"shutdown t1", L"destroy t1"};
    EXPECT_EQ(*journal, expected);

    Event e(14, L"after", TC_AT(L"f"));
    Logger::Log(e);
    EXPECT_EQ(journal->size(), expected.size());
}

// Other threads trace, ask whether the logger is on and read its name while
// it is being switched on: each sees either the logger off or fully set up
// (the ThreadSanitizer build reports any unguarded access).
TEST_F(LoggerTest, InitialiseWhileOtherThreadsTraceIsSafe)
{
    std::atomic<bool> go{false};
    std::atomic<bool> stop{false};
    std::atomic<int> sawNoName{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            while (!go.load())
                std::this_thread::yield();
            Event e(1, L"racing", TC_AT(L"f"));
            while (!stop.load()) {
                Logger::Trace(e);
                const bool on = Logger::isInitialised();
                if (Logger::getApplicationName().empty())
                    ++sawNoName;
                if (on)
                    Logger::Trace(e);
            }
        });
    }
    go = true;
    Logger::initialise(m_app);
    Sink sink = std::make_shared<EventJournal>();
    Logger::addCustomTraceDevice(new CaptureDevice(sink));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    for (auto& t : threads)
        t.join();
    EXPECT_TRUE(Logger::isInitialised());
    EXPECT_EQ(Logger::getApplicationName(), m_app);
    EXPECT_EQ(sawNoName.load(), 0);
    EXPECT_FALSE(sink->empty()) << "the racing threads' events reach a device added meanwhile";
    Logger::shutDown();
}

TEST_F(LoggerTest, ApplicationNameDefaultsToOndrivex)
{
    Logger::initialise(L"");
    EXPECT_EQ(Logger::getApplicationName(), L"Ondrivex");
}

// The file device: switched by "<app>FileLogging" under the machine key,
// writing "TL<app>.log" in the user's data folder.
class FileLoggingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_app = testsupport::uniqueName(L"FileLogTest");
        Logger::initialise(m_app);
        m_path = File::getUsersLocalDataPath() + File::Separator + L"TL" + m_app + L".log";
        std::remove(Tools::narrowWideString(m_path).c_str());
    }
    void TearDown() override
    {
        Logger::shutDown();
        Registry(Registry::LocalMachine).deleteValue(m_app + L"FileLogging");
        std::remove(Tools::narrowWideString(m_path).c_str());
    }
    ByteArray readLog()
    {
        ByteArray bytes;
        File::load(m_path, bytes, 1 << 20);
        return bytes;
    }

    std::wstring m_app;
    std::wstring m_path;
};

TEST_F(FileLoggingTest, AbsentOrZeroSwitchAddsNoFile)
{
    Logger::addFileLogDevice();
    Event e(1, L"not written", TC_AT(L"f"));
    Logger::Trace(e);
    EXPECT_FALSE(File::exists(m_path));

    ASSERT_TRUE(Registry(Registry::LocalMachine).write(m_app + L"FileLogging", 0));
    Logger::addFileLogDevice();
    Logger::Trace(e);
    EXPECT_FALSE(File::exists(m_path));
}

TEST_F(FileLoggingTest, WritesUtf16LinesWithHeadersAndAppends)
{
    ASSERT_TRUE(Registry(Registry::LocalMachine).write(m_app + L"FileLogging", 1));
    Logger::addFileLogDevice();
    Event first(1050702, L"Mutex Wait Abandoned", TC_AT(L"Mutex::lock"));
    Logger::Trace(first);
    Event second(7, L"caf\u00e9", Event::Info, TC_AT(L"f"));
    second.addDetails(L"N", 1);
    Logger::Log(second);

    const ByteArray bytes = readLog();
    ASSERT_GT(bytes.getSize(), 4);
    // No byte-order mark: the file starts with the year's first digit.
    EXPECT_EQ(bytes.getData()[0], '2');
    EXPECT_EQ(bytes.getData()[1], 0);
    const std::string text = Tools::narrowWideString(bytes.w2w());
    EXPECT_TRUE(std::regex_match(
        text,
        std::regex(
            "\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d Error   1050702 Mutex Wait Abandoned \r\n"
            "\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d Info    7 caf\xc3\xa9  N: 1\r\n")))
        << text;
}

TEST_F(FileLoggingTest, FileHeldByAnotherWriterIsSkippedNotWaitedFor)
{
    ASSERT_TRUE(Registry(Registry::LocalMachine).write(m_app + L"FileLogging", 1));
    Logger::addFileLogDevice();
    Event e(1, L"first", TC_AT(L"f"));
    Logger::Trace(e);
    const int before = readLog().getSize();
    ASSERT_GT(before, 0);
    {
        testsupport::ExclusiveFileHold hold(m_path);
        ASSERT_TRUE(hold.held());
        Event skipped(2, L"skipped", TC_AT(L"f"));
        Logger::Trace(skipped);
    }
    EXPECT_EQ(readLog().getSize(), before);
    Event after(3, L"after", TC_AT(L"f"));
    Logger::Trace(after);
    EXPECT_GT(readLog().getSize(), before);
}

} // namespace
