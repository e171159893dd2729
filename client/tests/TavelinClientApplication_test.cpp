#include "client/TavelinClientApplication.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Msg.h"
#include "client/GUIStatusUpdateService.h"
#include "shared/framework/Service.h"
#include "shared/monitoring/System.h"
#include "testsupport/EventCapture.h"

namespace {

// A service that fails on every message it is offered, and counts them.
class ThrowingService : public Service {
public:
    explicit ThrowingService(int& seen) : m_seen(seen) {}
    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override { return msg.getType() == Msg::UNSPECIFIED; }
    bool processMsg(Msg&) override
    {
        ++m_seen;
        throw Exception(1199999, L"broken service", TC_AT(L"ThrowingService::processMsg"));
    }

private:
    int& m_seen;
};

class TestApplication : public TavelinClientApplication {
public:
    explicit TestApplication(int& seen)
    {
        addService(new ThrowingService(seen));
        addRow(L"ThrowingService");
    }
    void post(Msg* msg) { sendMessage(msg, CommunicationDevice::Internal); }
};

class TavelinClientApplicationTest : public ::testing::Test {
protected:
    testsupport::EventRecorder recorder{L"Ondrivex"};
};

TEST_F(TavelinClientApplicationTest, TheRowsPresentAreAddedInTheirOrder)
{
    TavelinClientApplication app;
    const std::vector<std::wstring>& rows = app.composition();
    auto at = [&rows](const wchar_t* name) {
        return std::find(rows.begin(), rows.end(), name) - rows.begin();
    };
    ASSERT_GE(rows.size(), 5u);
    EXPECT_EQ(L"GUILogDevice", rows[0]);
    EXPECT_EQ(L"InternalCommDevice", rows[1]);
    EXPECT_EQ(L"SharedMemCommDevice", rows[2]);
    EXPECT_LT(at(L"SharedMemCommDevice"), at(L"GenericAppChangeService"));
    EXPECT_EQ(at(L"GenericAppChangeService") + 1, at(L"GUIStatusUpdateService"));
    EXPECT_TRUE(app.setup());
}

TEST_F(TavelinClientApplicationTest, TracedEventsReachTheLogWindowsList)
{
    TavelinClientApplication app;
    Event e(1190777, L"for the log window", TC_AT(L"Test::trace"));
    Logger::Trace(e);
    // The devices' threads may trace too; the line is among what waits.
    std::wstring line;
    bool found = false;
    while (!found && app.getNextLogLine(line))
        found = line.find(L"for the log window") != std::wstring::npos;
    ASSERT_TRUE(found);
    EXPECT_NE(std::wstring::npos, line.find(L"1190777"));
}

TEST_F(TavelinClientApplicationTest, AnExceptionInAPulseIsLoggedAndTheNextTickGoesOn)
{
    int seen = 0;
    TestApplication app(seen);
    ASSERT_TRUE(app.setup());
    app.post(new Msg);
    app.post(new Msg);
    // The internal device hands each message over on its own thread.
    for (int tick = 0; tick < 2000 && seen < 2; ++tick) {
        app.doWork();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(2, seen);
    std::vector<testsupport::CapturedEvent> events = recorder.withId(1190001);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(L"Unexpected Exception in main loop", events[0].description);
    EXPECT_EQ(1199999, events[0].exceptionId);
    EXPECT_TRUE(events[0].logged);
}

#if !defined(ONDRIVEX_CLIENT_WITH_SERVER_SERVICES) &&                                              \
    !defined(ONDRIVEX_CLIENT_WITH_PRESENCE_MONITORS)
// Until the logon side and the presence monitors are composed in, the
// window's requests change nothing.
TEST_F(TavelinClientApplicationTest, WithoutTheLogonSideTheFormsAnswerEmpty)
{
    TavelinClientApplication app;
    EXPECT_EQ(L"", app.getReportsURL());
    EXPECT_EQ(L"", app.getNextReconnectionTime());
    app.logOn(L"ann", L"pw");
    app.atMeeting(L"x", 60);
    EXPECT_FALSE(app.getSystem().getUserStatus().atMeeting());
}
#endif

} // namespace
