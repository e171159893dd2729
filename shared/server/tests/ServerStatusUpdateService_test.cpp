// The status updates for the server: which change sends what, the six
// cases of the current status in their order, the repeat and noise filters,
// and the trace of what goes to the server.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/ByteArray.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/Clock.h"
#include "shared/monitoring/GenericAppChangeService.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "shared/server/ServerStatusUpdateService.h"
#include "StatusTestSupport.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

namespace {

using namespace statustest;
using Strings = std::vector<std::wstring>;

class StatusProbe : public ServerStatusUpdateService {
public:
    using ServerStatusUpdateService::ServerStatusUpdateService;
    using ServerStatusUpdateService::isMsgNecessary;
    using ServerStatusUpdateService::sendMessageIfNecessary;
    using ServerStatusUpdateServiceBase::createCurrentStatusMsg;
};

class StatusFramework : public ApplicationFramework {
public:
    StatusFramework() { addCommunicationDevice(http = new RecordingHttpDevice()); }
    template <class S>
    S* add(S* service)
    {
        addService(service);
        return service;
    }
    RecordingHttpDevice* http = nullptr;
};

class ServerStatusUpdateServiceTest : public ::testing::Test {
protected:
    ServerStatusUpdateServiceTest()
    {
        m_desktop.useClock(m_clock);
        m_writerPath = program(L"writer.exe", "MZ writer");
        m_desktop.startProcess(100, m_writerPath);
        m_window = m_desktop.openWindow(100, L"Plan.txt - Writer");
        m_desktop.setForeground(m_window);
        m_system.reset(new System(m_desktop, m_clock));
        m_system->getTavelinSessionDetails().setUserID(31);
        m_system->getTavelinSessionDetails().setUserName(L"anna@example.org");
        m_system->setContextInfo(m_window, L"Plans", L"Plan.txt", L"Writing",
                                 TopLevelWindow::SecondClass);
        profile().setAttributeValue(L"AllowPhoneOverrideActivity", 0);
        m_service = m_framework.add(new StatusProbe(*m_system));
    }

    std::wstring program(const std::wstring& name, const std::string& content)
    {
        const std::wstring path = m_folder.file(name);
        testsupport::writeFile(path, content);
        return path;
    }
    ClientProfile& profile() { return m_system->getTavelinSessionDetails().getClientProfile(); }
    UserStatus& status() { return m_system->getUserStatus(); }
    std::unique_ptr<Msg> current()
    {
        return std::unique_ptr<Msg>(m_service->createCurrentStatusMsg());
    }
    // Announces the change as the system change service would.
    void announce(int event)
    {
        Msg msg;
        msg.setType(Msg::SYSTEM_CHANGE_SERVICE);
        msg.setAttributeValue(L"SystemChangeEvent", event);
        m_service->processMsg(msg);
    }
    std::vector<Msg> sent() { return m_framework.http->takeSent(); }

    testsupport::EventRecorder m_events;
    testsupport::TempFolder m_folder{L"status"};
    ScriptedDesktop m_desktop;
    ManualClock m_clock;
    std::wstring m_writerPath;
    native::Window m_window = nullptr;
    std::unique_ptr<System> m_system;
    StatusFramework m_framework;
    StatusProbe* m_service = nullptr;
};

TEST_F(ServerStatusUpdateServiceTest, TakesAnnouncedChangesOnlyAndSetsNoTimer)
{
    EXPECT_TRUE(m_service->setup());
    for (int type = 0; type <= 20; ++type) {
        Msg msg;
        msg.setType(static_cast<Msg::MsgType>(type));
        EXPECT_EQ(type == Msg::SYSTEM_CHANGE_SERVICE, m_service->canProcessMsg(msg)) << type;
    }
    EXPECT_FALSE(m_service->hasTimerDelayElapsed());
}

TEST_F(ServerStatusUpdateServiceTest, EveryChangeButWindowAndContextSendsTheCurrentStatus)
{
    for (int event = 2; event <= 12; ++event) {
        StatusFramework framework;
        StatusProbe* service = framework.add(new StatusProbe(*m_system));
        Msg msg;
        msg.setType(Msg::SYSTEM_CHANGE_SERVICE);
        msg.setAttributeValue(L"SystemChangeEvent", event);
        EXPECT_TRUE(service->processMsg(msg));
        EXPECT_EQ(1u, framework.http->takeSent().size()) << "event " << event;
    }
}

TEST_F(ServerStatusUpdateServiceTest, WindowAndContextChangesAndUnknownOrMissingEventsSendNothing)
{
    for (int event : {0, 1, 13, -1, 99}) {
        announce(event);
        EXPECT_TRUE(sent().empty()) << "event " << event;
    }
    Msg bare;
    bare.setType(Msg::SYSTEM_CHANGE_SERVICE);
    EXPECT_TRUE(m_service->processMsg(bare));
    Msg other;
    other.setType(Msg::SYSTEM_EVENT);
    other.setAttributeValue(L"SystemChangeEvent", 12);
    EXPECT_TRUE(m_service->processMsg(other));
    EXPECT_TRUE(sent().empty());
}

// Records which handler ran, to show the dispatch reaches each slot.
class HandlerProbe : public ServerStatusUpdateService {
public:
    using ServerStatusUpdateService::ServerStatusUpdateService;
    std::vector<std::string> calls;

protected:
    void onWindowChange() override { calls.push_back("onWindowChange"); }
    void onDelayedSystemChange() override { calls.push_back("onDelayedSystemChange"); }
    void onContextInfoChange() override { calls.push_back("onContextInfoChange"); }
    void onUserIdle() override { calls.push_back("onUserIdle"); }
    void onUserActive() override { calls.push_back("onUserActive"); }
    void onUserAtMeeting() override { calls.push_back("onUserAtMeeting"); }
    void onUserOnPhone() override { calls.push_back("onUserOnPhone"); }
    void onUserPrivacy() override { calls.push_back("onUserPrivacy"); }
    void onUserStopMeeting() override { calls.push_back("onUserStopMeeting"); }
    void onUserStopPhone() override { calls.push_back("onUserStopPhone"); }
    void onUserStopPrivacy() override { calls.push_back("onUserStopPrivacy"); }
    void onPCLock() override { calls.push_back("onPCLock"); }
    void onPCUnlock() override { calls.push_back("onPCUnlock"); }
};

TEST_F(ServerStatusUpdateServiceTest, EachEventRunsItsOwnHandler)
{
    HandlerProbe probe(*m_system);
    for (int event = 0; event <= 13; ++event) {
        Msg msg;
        msg.setType(Msg::SYSTEM_CHANGE_SERVICE);
        msg.setAttributeValue(L"SystemChangeEvent", event);
        probe.processMsg(msg);
    }
    Msg bare;
    bare.setType(Msg::SYSTEM_CHANGE_SERVICE);
    probe.processMsg(bare);
    EXPECT_EQ((std::vector<std::string>{"onWindowChange", "onContextInfoChange", "onUserIdle",
                                        "onUserActive", "onUserAtMeeting", "onUserOnPhone",
                                        "onUserPrivacy", "onUserStopMeeting", "onUserStopPhone",
                                        "onUserStopPrivacy", "onPCLock", "onPCUnlock",
                                        "onDelayedSystemChange", "onWindowChange"}),
              probe.calls);
}

TEST_F(ServerStatusUpdateServiceTest, TheActiveApplicationInTheLongFormWhileTheServerDoesNotKnowIt)
{
    const std::unique_ptr<Msg> msg = current();
    ASSERT_NE(nullptr, msg);
    EXPECT_EQ(Msg::APPLICATION_CHANGE, msg->getType());
    const Names n = names(*msg);
    EXPECT_EQ((Strings{L"MsgType", L"UserID"}), n.integers);
    EXPECT_EQ((Strings{L"CompanyName", L"ContextString1", L"ContextString2", L"ContextString3",
                       L"EmailAddress", L"FileDescription", L"FilePath", L"FileVersion",
                       L"InternalName", L"MachineDomain", L"MachineName", L"OriginalFilename",
                       L"ProductName", L"ProductVersion", L"TavelUsername"}),
              n.strings);
    EXPECT_EQ((Strings{L"ApplicationHash", L"Icon"}), n.arrays);
    EXPECT_EQ(31, number(*msg, L"UserID"));
    EXPECT_EQ(L"anna@example.org", text(*msg, L"TavelUsername"));
    EXPECT_EQ(L"anna@example.org", text(*msg, L"EmailAddress"));
    EXPECT_EQ(L"Plans", text(*msg, L"ContextString1"));
    EXPECT_EQ(L"Plan.txt", text(*msg, L"ContextString2"));
    EXPECT_EQ(L"Writing", text(*msg, L"ContextString3"));
    EXPECT_EQ(m_writerPath, text(*msg, L"FilePath"));
    const Application* application = m_system->findApplication(m_writerPath.c_str());
    ASSERT_NE(nullptr, application);
    const ByteArray* hash = application->getHash();
    ASSERT_GT(hash->getSize(), 0) << "the file's hash was read";
    EXPECT_EQ(std::vector<uint8_t>(hash->getData(), hash->getData() + hash->getSize()),
              bytes(*msg, L"ApplicationHash"));
    EXPECT_EQ(std::wstring(application->getVersionInfo().getOriginalFilename()),
              text(*msg, L"OriginalFilename"));
}

TEST_F(ServerStatusUpdateServiceTest, TheShortFormForAnApplicationWithAKnownId)
{
    m_system->setApplicationID(m_writerPath.c_str(), 5150);
    const std::unique_ptr<Msg> msg = current();
    ASSERT_NE(nullptr, msg);
    EXPECT_EQ(Msg::APPLICATION_CHANGE, msg->getType());
    const Names n = names(*msg);
    EXPECT_EQ((Strings{L"ApplicationID", L"MsgType", L"UserID"}), n.integers);
    EXPECT_EQ((Strings{L"CompanyName", L"ContextString1", L"ContextString2", L"ContextString3",
                       L"EmailAddress", L"MachineDomain", L"MachineName", L"OriginalFilename",
                       L"TavelUsername"}),
              n.strings);
    EXPECT_EQ((Strings{L"ApplicationHash"}), n.arrays) << "no icon";
    EXPECT_EQ(5150, number(*msg, L"ApplicationID"));
    EXPECT_EQ(L"Plan.txt", text(*msg, L"ContextString2"));
}

TEST_F(ServerStatusUpdateServiceTest, MachineIdMinusOneNamesTheMachineAndAKnownIdStandsForIt)
{
    std::unique_ptr<Msg> msg = current();
    EXPECT_EQ(L"<missing>", text(*msg, L"MachineID"));
    EXPECT_EQ(-12345, number(*msg, L"MachineID"));
    EXPECT_EQ(m_system->getMachineDetails().getMachineName(), text(*msg, L"MachineName"));
    EXPECT_EQ(m_system->getMachineDetails().getDomain(), text(*msg, L"MachineDomain"));

    m_system->getTavelinSessionDetails().setMachineID(42);
    msg = current();
    EXPECT_EQ(42, number(*msg, L"MachineID"));
    EXPECT_EQ(L"<missing>", text(*msg, L"MachineName"));
    EXPECT_EQ(L"<missing>", text(*msg, L"MachineDomain"));
}

// The case the current status falls into: the declared state's id, the
// system state, or "app" for the active application.
std::wstring caseOf(const Msg* msg)
{
    if (msg == nullptr)
        return L"none";
    if (msg->getType() == Msg::SYSTEM_STATE_CHANGE)
        return text(*msg, L"SystemState");
    const int id = number(*msg, L"ApplicationID");
    if (id == 2 || id == 3 || id == 4)
        return L"id " + std::to_wstring(id) + L" " + text(*msg, L"ContextString1");
    return L"app";
}

struct StateCase {
    bool privateTime, meeting, phone, locked, idle, override;
    const wchar_t* expected;
};

TEST_F(ServerStatusUpdateServiceTest, TheSixCasesInTheirOrder)
{
    const StateCase cases[] = {
        // personal time hides the application only at the keyboard
        {true, false, false, false, false, false, L"id 4 "},
        {true, false, false, false, true, false, L"SystemStateIdle"},
        {true, false, false, true, false, false, L"SystemStateLocked"},
        // a meeting counts only while away
        {false, true, false, false, false, false, L"app"},
        {false, true, false, true, false, false, L"id 2 why"},
        {false, true, false, false, true, false, L"id 2 why"},
        // a call while away, or always with the profile's flag
        {false, false, true, false, false, false, L"app"},
        {false, false, true, false, false, true, L"id 3 why"},
        {false, false, true, false, true, false, L"id 3 why"},
        {false, false, true, true, false, false, L"id 3 why"},
        // the earlier case wins
        {true, true, true, false, false, true, L"id 4 "},
        {true, true, true, true, false, true, L"id 2 why"},
        {false, true, true, false, true, false, L"id 2 why"},
        {false, false, false, true, true, false, L"SystemStateLocked"},
        {false, false, false, false, true, false, L"SystemStateIdle"},
        {false, false, false, false, false, true, L"app"},
    };
    for (const StateCase& c : cases) {
        status().setPrivate(c.privateTime);
        // The status has one reason, which meeting and call share.
        status().onPhone(c.phone, L"why");
        status().atMeeting(c.meeting, L"why");
        status().locked(c.locked);
        status().idle(c.idle);
        profile().setAttributeValue(L"AllowPhoneOverrideActivity", c.override ? 1 : 0);
        const std::unique_ptr<Msg> msg = current();
        EXPECT_EQ(std::wstring(c.expected), caseOf(msg.get()))
            << "private " << c.privateTime << " meeting " << c.meeting << " phone " << c.phone
            << " locked " << c.locked << " idle " << c.idle << " override " << c.override;
    }
}

TEST_F(ServerStatusUpdateServiceTest, DeclaredStatesCarryTheReasonAndEmptyStringsAndNoHash)
{
    status().atMeeting(true, L"Budget review");
    status().idle(true);
    const std::unique_ptr<Msg> msg = current();
    ASSERT_NE(nullptr, msg);
    EXPECT_EQ(Msg::APPLICATION_CHANGE, msg->getType());
    const Names n = names(*msg);
    EXPECT_EQ((Strings{L"ApplicationID", L"MsgType", L"UserID"}), n.integers);
    EXPECT_EQ((Strings{L"ContextString1", L"ContextString2", L"ContextString3", L"EmailAddress",
                       L"MachineDomain", L"MachineName", L"TavelUsername"}),
              n.strings);
    EXPECT_TRUE(n.arrays.empty());
    EXPECT_EQ(L"Budget review", text(*msg, L"ContextString1"));
    EXPECT_EQ(L"", text(*msg, L"ContextString2"));
    EXPECT_EQ(L"", text(*msg, L"ContextString3"));
}

TEST_F(ServerStatusUpdateServiceTest, SystemStatesCarryOnlyTheStateBesideTheCommonAttributes)
{
    status().locked(true);
    const std::unique_ptr<Msg> msg = current();
    ASSERT_NE(nullptr, msg);
    EXPECT_EQ(Msg::SYSTEM_STATE_CHANGE, msg->getType());
    const Names n = names(*msg);
    EXPECT_EQ((Strings{L"MsgType", L"UserID"}), n.integers);
    EXPECT_EQ((Strings{L"EmailAddress", L"MachineDomain", L"MachineName", L"SystemState",
                       L"TavelUsername"}),
              n.strings);
    EXPECT_TRUE(n.arrays.empty());
}

TEST_F(ServerStatusUpdateServiceTest, NoActiveWindowMeansNoMessage)
{
    m_desktop.setForeground(nullptr);
    EXPECT_EQ(nullptr, current());
    announce(12);
    EXPECT_TRUE(sent().empty());
    status().idle(true);
    EXPECT_NE(nullptr, current()) << "the idle state needs no window";
}

TEST_F(ServerStatusUpdateServiceTest, TwoIdenticalApplicationMessagesSendOnlyTheFirst)
{
    announce(12);
    announce(12);
    EXPECT_EQ(1u, sent().size());
    m_system->setContextInfo(m_window, L"Plans", L"Plan v2.txt", L"Writing",
                             TopLevelWindow::SecondClass);
    announce(12);
    EXPECT_EQ(1u, sent().size());
}

TEST_F(ServerStatusUpdateServiceTest, AMeetingThenACallWithTheSameReasonIsARepeat)
{
    status().idle(true);
    status().atMeeting(true, L"Suppliers");
    announce(4);
    ASSERT_EQ(1u, sent().size());
    status().atMeeting(false, L"Suppliers");
    status().onPhone(true, L"Suppliers");
    announce(5);
    EXPECT_TRUE(sent().empty()) << "no hash, the same three strings";
}

TEST_F(ServerStatusUpdateServiceTest, LockingDuringADeclaredMeetingReportsTheMeeting)
{
    status().atMeeting(true, L"Board");
    status().locked(true);
    announce(10);
    const std::vector<Msg> messages = sent();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(Msg::APPLICATION_CHANGE, messages[0].getType());
    EXPECT_EQ(2, number(messages[0], L"ApplicationID"));
    EXPECT_EQ(L"Board", text(messages[0], L"ContextString1"));
}

// A terminal-server shell's message, in the form the status builds.
Msg* shellMessage(const std::wstring& company, const std::wstring& file, int id = -1)
{
    Msg* msg = new Msg();
    msg->setType(Msg::APPLICATION_CHANGE);
    if (id != -1)
        msg->setAttributeValue(L"ApplicationID", id);
    msg->setAttributeValue(L"CompanyName", company);
    msg->setAttributeValue(L"OriginalFilename", file);
    msg->setAttributeValue(L"ContextString2", std::wstring(L"shell"));
    return msg;
}

TEST_F(ServerStatusUpdateServiceTest, TheNoiseFilterKnowsTheShellInAnyCaseAndInBothForms)
{
    std::unique_ptr<Msg> msg(shellMessage(L"CiTrIx Systems, Inc.", L"WfShell.EXE"));
    EXPECT_FALSE(m_service->isMsgNecessary(msg.get()));
    msg.reset(shellMessage(L"citrix", L"wfshell.exe", 77));
    EXPECT_FALSE(m_service->isMsgNecessary(msg.get())) << "the short form too";
    EXPECT_EQ(2u, m_events.count(1060902));
    EXPECT_EQ(L"Citrix Idle Msg detected", m_events.find(1060902).description);
    msg.reset(shellMessage(L"Citrix", L"explorer.exe"));
    EXPECT_TRUE(m_service->isMsgNecessary(msg.get()));
    msg.reset(shellMessage(L"Other", L"wfshell.exe"));
    EXPECT_TRUE(m_service->isMsgNecessary(msg.get()));
    Msg state;
    state.setType(Msg::SYSTEM_STATE_CHANGE);
    state.setAttributeValue(L"CompanyName", std::wstring(L"Citrix"));
    state.setAttributeValue(L"OriginalFilename", std::wstring(L"wfshell.exe"));
    EXPECT_TRUE(m_service->isMsgNecessary(&state)) << "only application changes are examined";
    EXPECT_EQ(2u, m_events.count(1060902));
}

TEST_F(ServerStatusUpdateServiceTest, DroppedNoiseStillBecomesTheLastMessage)
{
    m_service->sendMessageIfNecessary(shellMessage(L"Citrix", L"wfshell.exe"));
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(1u, m_events.count(1060902));
    m_service->sendMessageIfNecessary(shellMessage(L"Citrix", L"wfshell.exe"));
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(1u, m_events.count(1060902)) << "the repeat test dropped it before the noise test";
    m_service->sendMessageIfNecessary(nullptr);
    announce(12);
    EXPECT_EQ(1u, sent().size()) << "a different message goes";
}

TEST_F(ServerStatusUpdateServiceTest, WhatGoesToTheServerIsTracedAsItGoes)
{
    announce(12);
    ASSERT_EQ(1u, m_events.count(1060903));
    const auto app = m_events.find(1060903);
    EXPECT_EQ(L"Msg To Server:", app.description);
    const std::wstring original = text(sent()[0], L"OriginalFilename");
    EXPECT_EQ(L" MsgType:AppChange OriginalFilename:" + original +
                  L" S1:Plans S2:Plan.txt S3:Writing FileDescription:" +
                  text(*current(), L"FileDescription") + L" InternalName:" +
                  text(*current(), L"InternalName") + L" FileVersion:" +
                  text(*current(), L"FileVersion") + L" ProductName:" +
                  text(*current(), L"ProductName") + L" ProductVersion:" +
                  text(*current(), L"ProductVersion") + L" CompanyName:" +
                  text(*current(), L"CompanyName") + L" FilePath:" + m_writerPath,
              app.details);
    EXPECT_FALSE(app.logged);

    m_events.clear();
    m_system->setApplicationID(m_writerPath.c_str(), 9);
    m_system->setContextInfo(m_window, L"Plans", L"Other.txt", L"Writing",
                             TopLevelWindow::SecondClass);
    announce(12);
    EXPECT_EQ(L" MsgType:AppChange OriginalFilename:" + original +
                  L" S1:Plans S2:Other.txt S3:Writing FileDescription: InternalName: FileVersion:"
                  L" ProductName: ProductVersion: CompanyName:" +
                  text(*current(), L"CompanyName") + L" FilePath:",
              m_events.find(1060903).details)
        << "the short form's missing attributes read empty";

    m_events.clear();
    status().idle(true);
    announce(2);
    EXPECT_EQ(L" MsgType:StateChange SystemState:SystemStateIdle", m_events.find(1060903).details);
    EXPECT_EQ(2u, sent().size());
}

TEST_F(ServerStatusUpdateServiceTest, PersonalTimeGivesWayToIdleAndComesBackWithTheUser)
{
    status().setPrivate(true);
    announce(6);
    status().idle(true);
    announce(2);
    status().idle(false);
    announce(3);
    const std::vector<Msg> messages = sent();
    ASSERT_EQ(3u, messages.size());
    EXPECT_EQ(4, number(messages[0], L"ApplicationID"));
    EXPECT_EQ(L"SystemStateIdle", text(messages[1], L"SystemState"));
    EXPECT_EQ(4, number(messages[2], L"ApplicationID"));
}

} // namespace
