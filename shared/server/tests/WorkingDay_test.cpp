// One working day end to end, inside one framework built as the client
// builds it: the internal device, the system change service, a device
// standing in for the Http mechanism, the status updates, the four presence
// monitors and the foreground tracking, all on a scripted desktop whose
// clock the test moves on in the client's 200 ms pulses. The day: switching
// documents and applications, a title that ticks like a clock, four minutes
// away, a lock, a declared meeting that runs out, a phone call and personal
// time. What must come out is the exact sequence of server-bound messages,
// each at its moment, and nothing else.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/Clock.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/monitoring/BackupActivityMonitorService.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/IdleUserMonitorService.h"
#include "shared/monitoring/PCLockedMonitorService.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/SystemChangeService.h"
#include "shared/monitoring/UserStateChangeService.h"
#include "shared/server/ServerStatusUpdateService.h"
#include "StatusTestSupport.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using namespace statustest;

// The lock monitor's samples are process-wide: the day starts afresh.
class LockMonitor : public PCLockedMonitorService {
public:
    explicit LockMonitor(Desktop& desktop) : PCLockedMonitorService(desktop) { forgetSamples(); }
    ~LockMonitor() override { forgetSamples(); }
};

// Keeps what goes to the server with the milliseconds since the day began.
class TimedHttpDevice : public RecordingHttpDevice {
public:
    TimedHttpDevice(const Clock& clock) : m_clock(clock), m_start(clock.tickCount()) {}
    void pushMessage(Msg* msg) override
    {
        if (msg != nullptr)
            times.push_back(static_cast<uint32_t>(m_clock.tickCount() - m_start));
        RecordingHttpDevice::pushMessage(msg);
    }
    using CommunicationDevice::pushMessage;
    std::vector<uint32_t> times;

private:
    const Clock& m_clock;
    uint32_t m_start;
};

// The client's composition, without the parts this day does not need
// (shared-memory channel, logon, connection management, profile and user
// updates, the GUI).
class DayClient : public ApplicationFramework {
public:
    DayClient(Desktop& desktop, const Clock& clock, const std::wstring& rules)
        : ApplicationFramework(clock)
    {
        addCommunicationDevice(new InternalCommDevice());
        changes = new SystemChangeService(desktop, clock);
        addService(changes);
        System& system = changes->getSystemInfo();
        addCommunicationDevice(http = new TimedHttpDevice(clock));
        addService(new ServerStatusUpdateService(system));
        addService(new LockMonitor(desktop));
        addService(new IdleUserMonitorService(system));
        addService(new GenericAppChangeService(system, rules));
        addService(new BackupActivityMonitorService(system));
        addService(states = new UserStateChangeService(system));
    }
    SystemChangeService* changes = nullptr;
    UserStateChangeService* states = nullptr;
    TimedHttpDevice* http = nullptr;
};

class WorkingDayTest : public ::testing::Test {
protected:
    WorkingDayTest()
    {
        m_desktop.useClock(m_clock);
        m_writer = program(L"writer.exe", 100);
        m_mailer = program(L"mailer.exe", 200);
        m_stopwatch = program(L"stopwatch.exe", 300);
        m_writerWindow = m_desktop.openWindow(100, L"Plan.txt - Writer");
        m_mailerWindow = m_desktop.openWindow(200, L"Inbox - Mailer");
        m_stopwatchWindow = m_desktop.openWindow(300, L"Stopwatch 00:00");
        m_desktop.setForeground(m_writerWindow);
        m_desktop.userInput();
        m_client.reset(new DayClient(m_desktop, m_clock, m_folder.file(L"no-rules.txt")));
        TavelinSessionDetails& session = system().getTavelinSessionDetails();
        session.setUserID(31);
        session.setUserName(L"anna@example.org");
        session.setMachineID(7);
        session.getClientProfile().setAttributeValue(L"AllowPhoneOverrideActivity", 0);
        EXPECT_TRUE(m_client->setup());
    }

    std::wstring program(const std::wstring& name, uint32_t processId)
    {
        const std::wstring path = m_folder.file(name);
        testsupport::writeFile(path, "MZ " + std::string(name.begin(), name.end()));
        m_desktop.startProcess(processId, path);
        return path;
    }
    System& system() { return m_client->changes->getSystemInfo(); }

    // The client's main loop: every 200 ms a pulse, repeated while it has
    // something to do.
    void pulses(int64_t ms)
    {
        for (int64_t done = 0; done < ms; done += 200) {
            m_clock.advanceMs(200);
            while (m_client->pulse()) {
            }
        }
    }
    // The user works: some input every second.
    void work(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            m_desktop.userInput();
            pulses(1000);
        }
    }
    void away(int seconds) { pulses(seconds * 1000); }
    // Calls from the status window, handled in the next pulses.
    template <class Call>
    void declare(Call call)
    {
        call(*m_client->states);
        while (m_client->pulse()) {
        }
    }

    // The expected messages.
    Msg common(Msg::MsgType type) const
    {
        Msg msg;
        msg.setType(type);
        msg.setAttributeValue(L"UserID", 31);
        msg.setAttributeValue(L"TavelUsername", std::wstring(L"anna@example.org"));
        msg.setAttributeValue(L"EmailAddress", std::wstring(L"anna@example.org"));
        msg.setAttributeValue(L"MachineID", 7);
        return msg;
    }
    // The long form: the server knows no application today. The version
    // fields are those of the model's record (the stand-in programs have
    // none), the strings the title's fourth-class report.
    Msg application(const std::wstring& path, const std::wstring& title)
    {
        Msg msg = common(Msg::APPLICATION_CHANGE);
        msg.setAttributeValue(L"ContextString1", std::wstring());
        msg.setAttributeValue(L"ContextString2", title);
        msg.setAttributeValue(L"ContextString3", std::wstring(L"Unspecified"));
        const Application* record = system().findApplication(path.c_str());
        EXPECT_NE(nullptr, record) << "no record of " << std::string(path.begin(), path.end());
        if (record == nullptr)
            return msg;
        const Version& v = record->getVersionInfo();
        msg.setAttributeValue(L"OriginalFilename", std::wstring(v.getOriginalFilename()));
        msg.setAttributeValue(L"FileDescription", std::wstring(v.getFileDescription()));
        msg.setAttributeValue(L"InternalName", std::wstring(v.getInternalName()));
        msg.setAttributeValue(L"FileVersion", std::wstring(v.getFileVersion()));
        msg.setAttributeValue(L"ProductName", std::wstring(v.getProductName()));
        msg.setAttributeValue(L"ProductVersion", std::wstring(v.getProductVersion()));
        msg.setAttributeValue(L"CompanyName", std::wstring(v.getCompanyName()));
        msg.setAttributeValue(L"FilePath", path);
        msg.setAttributeValue(L"ApplicationHash", new ByteArray(*record->getHash()));
        msg.setAttributeValue(L"Icon", new ByteArray());
        return msg;
    }
    Msg declared(int applicationId, const std::wstring& reason) const
    {
        Msg msg = common(Msg::APPLICATION_CHANGE);
        msg.setAttributeValue(L"ApplicationID", applicationId);
        msg.setAttributeValue(L"ContextString1", reason);
        msg.setAttributeValue(L"ContextString2", std::wstring());
        msg.setAttributeValue(L"ContextString3", std::wstring());
        return msg;
    }
    Msg state(const wchar_t* name) const
    {
        Msg msg = common(Msg::SYSTEM_STATE_CHANGE);
        msg.setAttributeValue(L"SystemState", std::wstring(name));
        return msg;
    }

    static std::string listing(const Msg& msg)
    {
        std::wstring text;
        msg.toString(text);
        return std::string(text.begin(), text.end());
    }

    testsupport::EventRecorder m_events;
    testsupport::TempFolder m_folder{L"workday"};
    ScriptedDesktop m_desktop;
    ManualClock m_clock{1765180800, 30000000}; // a Monday, 08:00 UTC
    std::wstring m_writer, m_mailer, m_stopwatch;
    native::Window m_writerWindow = nullptr, m_mailerWindow = nullptr, m_stopwatchWindow = nullptr;
    std::unique_ptr<DayClient> m_client;
};

TEST_F(WorkingDayTest, TheServerHearsEachSettledChangeOnceAndNothingElse)
{
    struct Expected {
        uint32_t atMs;
        Msg msg;
    };
    std::vector<Expected> expected;

    // 0 s: at work in a document. The backup check and the first report
    // postpone the delayed change to 10 s after the report at 1 s.
    work(30);
    expected.push_back({11000, application(m_writer, L"Plan.txt - Writer")});

    // 30 s: another document in the same window.
    m_desktop.setTitle(m_writerWindow, L"Letter.txt - Writer");
    work(30);
    expected.push_back({41000, application(m_writer, L"Letter.txt - Writer")});

    // 60 s: another application.
    m_desktop.setForeground(m_mailerWindow);
    work(30);
    expected.push_back({71000, application(m_mailer, L"Inbox - Mailer")});

    // 90 s: a window whose title shows a running clock. Its first 30
    // reports within a minute are taken, each postponing the delayed
    // change; then the window keeps the 30th title and settles.
    m_desktop.setForeground(m_stopwatchWindow);
    for (int second = 0; second < 60; ++second) {
        m_desktop.setTitle(m_stopwatchWindow,
                           L"Stopwatch 00:" + std::to_wstring(100 + second).substr(1));
        work(1);
    }
    expected.push_back({130000, application(m_stopwatch, L"Stopwatch 00:29")});

    // 150 s: back to the letter; its context is unchanged, so the switch
    // reaches the server through the delayed change after the backup check.
    m_desktop.setForeground(m_writerWindow);
    work(30);
    expected.push_back({160200, application(m_writer, L"Letter.txt - Writer")});

    // 180 s: four minutes away (the last input was at 179 s). The idle
    // check that finds 180.5 s without input is due at 359.5 s and runs in
    // the pulse at 359.6 s.
    away(240);
    expected.push_back({359600, state(L"SystemStateIdle")});
    // 420 s: back.
    work(60);
    expected.push_back({420600, application(m_writer, L"Letter.txt - Writer")});

    // 480 s: the workstation locked for two minutes; the lock is reported on
    // the second locked sample.
    m_desktop.lock();
    away(120);
    expected.push_back({482000, state(L"SystemStateLocked")});
    m_desktop.unlock();
    work(60);
    expected.push_back({601000, application(m_writer, L"Letter.txt - Writer")});

    // 660 s: a declared meeting of 60 s, the user away from the keyboard
    // (last input at 659 s). At the keyboard the meeting does not count; 15 s
    // without input do. The meeting runs out at the 10 s tick at 720 s, and
    // with it the short threshold: the user is active again.
    declare([](UserStateChangeService& s) { s.atMeeting(L"Design review", 60); });
    away(70);
    expected.push_back({674600, declared(2, L"Design review")});
    expected.push_back({720000, state(L"SystemStateIdle")});
    expected.push_back({720600, application(m_writer, L"Letter.txt - Writer")});
    work(50);

    // 780 s: a phone call; away from the keyboard after 15 s, back at 810 s,
    // the call ends at 815 s.
    declare([](UserStateChangeService& s) { s.onPhoneCall(L"Supplier"); });
    away(30);
    expected.push_back({794600, declared(3, L"Supplier")});
    work(5);
    expected.push_back({810600, application(m_writer, L"Letter.txt - Writer")});
    declare([](UserStateChangeService& s) { s.stopPhoneCall(); });
    work(25);

    // 840 s: five minutes of personal time; it gives way to idle while the
    // user is away and comes back with the user, until its time is up.
    declare([](UserStateChangeService& s) { s.enablePrivacy(300); });
    expected.push_back({840000, declared(4, L"")});
    away(220);
    expected.push_back({1019600, state(L"SystemStateIdle")});
    work(140);
    expected.push_back({1060600, declared(4, L"")});
    expected.push_back({1140000, application(m_writer, L"Letter.txt - Writer")});

    // 1200 s: an hour of quiet work in the letter.
    work(3600);

    const std::vector<Msg> sent = m_client->http->takeSent();
    const std::vector<uint32_t>& times = m_client->http->times;
    ASSERT_EQ(sent.size(), times.size());
    for (size_t i = 0; i < expected.size() || i < sent.size(); ++i) {
        if (i >= sent.size()) {
            ADD_FAILURE() << "message " << i + 1 << " at " << expected[i].atMs
                          << " ms was not sent:\n"
                          << listing(expected[i].msg);
            continue;
        }
        if (i >= expected.size()) {
            ADD_FAILURE() << "message " << i + 1 << " at " << times[i] << " ms was not expected:\n"
                          << listing(sent[i]);
            continue;
        }
        EXPECT_EQ(expected[i].atMs, times[i]) << "message " << i + 1;
        EXPECT_EQ(listing(expected[i].msg), listing(sent[i])) << "message " << i + 1;
        EXPECT_EQ(bytes(expected[i].msg, L"ApplicationHash"), bytes(sent[i], L"ApplicationHash"))
            << "message " << i + 1;
    }
    // The three programs are told apart by their hashes.
    EXPECT_NE(bytes(application(m_writer, L""), L"ApplicationHash"),
              bytes(application(m_mailer, L""), L"ApplicationHash"));
    EXPECT_EQ(sent.size(), m_events.count(1060903)) << "each message traced as it went";
}

} // namespace
