#include <gtest/gtest.h>

#include <memory>

#include "FrameworkFakes.h"
#include "shared/framework/FrameworkException.h"
#include "shared/framework/InternalCommDevice.h"
#include "testsupport/EventCapture.h"
#include "testsupport/TestSupport.h"

using namespace frameworktest;
using testsupport::eventually;

namespace {

using Entries = std::vector<std::string>;

class ApplicationFrameworkTest : public ::testing::Test {
protected:
    FakeService* service(const std::string& name, std::set<int> accepts = {})
    {
        auto* s = new FakeService(name, m_journal, std::move(accepts));
        m_framework->addService(s);
        return s;
    }
    FakeDevice* device(CommunicationDevice::CommMechanism mechanism, const std::string& name,
                       bool sends = true)
    {
        auto* d = new FakeDevice(mechanism, name, m_journal, sends);
        m_framework->addCommunicationDevice(d);
        return d;
    }
    Msg* counted(int seq, Msg::MsgType type = Msg::PLUGIN_INFO)
    {
        return new CountedMsg(m_destroyed, seq, type);
    }

    // Expects the call to throw the exception of that id and description.
    template <class Call>
    static void expectThrows(Call call, int id, int kind, const std::wstring& description,
                             const wchar_t* function)
    {
        try {
            call();
            ADD_FAILURE() << "no exception " << id;
        } catch (const Exception& e) {
            EXPECT_EQ(e.getExceptionID(), id);
            EXPECT_EQ(e.getExceptionType(), kind);
            EXPECT_EQ(e.getDescription(), description);
            EXPECT_STREQ(e.getFunction(), function);
        }
    }

    testsupport::EventRecorder m_trace{testsupport::uniqueName(L"FrameworkTest")};
    std::shared_ptr<Journal> m_journal = std::make_shared<Journal>();
    std::shared_ptr<std::atomic<int>> m_destroyed = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<TestFramework> m_framework{new TestFramework};
};

TEST_F(ApplicationFrameworkTest, SetupStopsAtTheFirstFailingServiceAndTracesEachOneTried)
{
    service("s0");
    service("s1");
    service("bad")->setupResult = false;
    service("s3");
    service("s4");
    const std::wstring before = STARTUP_TRACE;

    EXPECT_FALSE(m_framework->setup());
    EXPECT_EQ(m_journal->entries(), (Entries{"setup s0", "setup s1", "setup bad"}));
    ASSERT_GE(STARTUP_TRACE.size(), before.size());
    EXPECT_EQ(STARTUP_TRACE.compare(0, before.size(), before), 0)
        << "the trace is only appended to";
    EXPECT_EQ(STARTUP_TRACE.substr(before.size()), L"4000, 4001, 4002, ");
}

TEST_F(ApplicationFrameworkTest, SetupWithoutServicesSucceedsAndEveryServiceKnowsItsFramework)
{
    EXPECT_TRUE(m_framework->setup());
    FakeService* s = service("s0");
    EXPECT_EQ(s->framework(), m_framework.get());
    EXPECT_TRUE(m_framework->setup());
}

TEST_F(ApplicationFrameworkTest, EveryAcceptingServiceSeesTheMessageInOrderAndItIsDeletedOnce)
{
    service("a", {Msg::PLUGIN_INFO});
    service("b", {Msg::SYSTEM_EVENT});
    service("c", {Msg::PLUGIN_INFO});
    FakeDevice* d = device(CommunicationDevice::Internal, "d");
    d->deliver(counted(7));

    EXPECT_TRUE(m_framework->pulse());
    EXPECT_EQ(m_journal->entries(), (Entries{"a processes 7", "c processes 7"}));
    EXPECT_EQ(*m_destroyed, 1);
    EXPECT_FALSE(m_framework->pulse()) << "nothing left to do";
}

TEST_F(ApplicationFrameworkTest, AMessageNobodyTakesRaisesItsTypeAndIsDiscarded)
{
    service("a", {Msg::SYSTEM_EVENT});
    FakeDevice* d = device(CommunicationDevice::Internal, "d");
    d->deliver(counted(1, Msg::PLUGIN_INFO));
    expectThrows([&] { m_framework->pulse(); }, 1060001, FrameworkException::FrameworkKind,
                 L"No message handler for specified message:  (Param 1: 12) ",
                 L"ApplicationFramework::pulse");
    EXPECT_EQ(*m_destroyed, 1);
    EXPECT_EQ(d->getInQSize(), 0u);
    EXPECT_FALSE(m_framework->pulse());
}

TEST_F(ApplicationFrameworkTest, OnePulseTakesOneMessageAndAsksTheFirstDeviceFirst)
{
    service("s", {Msg::PLUGIN_INFO});
    FakeDevice* first = device(CommunicationDevice::Internal, "first");
    FakeDevice* second = device(CommunicationDevice::Http, "second");
    second->deliver(counted(20));
    first->deliver(counted(10));
    first->deliver(counted(11));

    EXPECT_TRUE(m_framework->pulse());
    EXPECT_EQ(m_journal->entries(), (Entries{"s processes 10"}));
    EXPECT_TRUE(m_framework->pulse());
    EXPECT_TRUE(m_framework->pulse());
    EXPECT_EQ(m_journal->entries(),
              (Entries{"s processes 10", "s processes 11", "s processes 20"}));
    EXPECT_FALSE(m_framework->pulse());
}

TEST_F(ApplicationFrameworkTest, DevicesAreStartedAndOneMechanismTakesOneDevice)
{
    FakeDevice* first = device(CommunicationDevice::Internal, "first");
    EXPECT_TRUE(eventually([&] { return first->getThreadState() == Thread::Running; }));
    EXPECT_EQ(m_framework->getCommunicationDevice(CommunicationDevice::Internal), first);
    EXPECT_EQ(m_framework->getCommunicationDevice(CommunicationDevice::Http), nullptr);

    expectThrows([&] { device(CommunicationDevice::Internal, "twin"); }, 1060005,
                 FrameworkException::FrameworkKind,
                 L"Tried to add a device type which already existed",
                 L"ApplicationFramework::addCommunicationDevice");
    // The refused device was destroyed without ever being started.
    EXPECT_EQ(m_journal->entries(), (Entries{"delete twin state 0 others asked to stop yes"}));
    EXPECT_EQ(m_framework->getCommunicationDevice(CommunicationDevice::Internal), first);
}

TEST_F(ApplicationFrameworkTest, NullServicesDevicesAndMessagesAreRefused)
{
    expectThrows([&] { m_framework->addService(nullptr); }, 1060003, Exception::PlainKind,
                 L"NULL Service was specified", L"ApplicationFramework::addService");
    expectThrows([&] { m_framework->addCommunicationDevice(nullptr); }, 1060004,
                 Exception::PlainKind, L"NULL communications device was specified",
                 L"ApplicationFramework::addCommunicationDevice");
    expectThrows([&] { m_framework->sendMessage(nullptr, CommunicationDevice::Internal); }, 1060006,
                 Exception::PlainKind, L"NULL message was specified",
                 L"ApplicationFramework::sendMessage");
}

TEST_F(ApplicationFrameworkTest, AMessageThatCannotBeSentIsRefusedAndDestroyed)
{
    device(CommunicationDevice::Internal, "loop");
    FakeDevice* mute = device(CommunicationDevice::Http, "mute", false);
    expectThrows([&] { m_framework->sendMessage(counted(1), CommunicationDevice::SharedMemory); },
                 1060007, FrameworkException::FrameworkKind,
                 L"No communication device exists for that communication mechanism",
                 L"ApplicationFramework::sendMessage");
    expectThrows([&] { m_framework->sendMessage(counted(2), CommunicationDevice::Http); }, 1060008,
                 FrameworkException::FrameworkKind,
                 L"No Communication Device exists to send messages of that type",
                 L"ApplicationFramework::sendMessage");
    EXPECT_EQ(*m_destroyed, 2) << "a refused message was leaked";
    EXPECT_EQ(mute->getOutQSize(), 0u);

    FakeService orphan("orphan", m_journal);
    expectThrows([&] { orphan.sendMessage(counted(3), CommunicationDevice::Internal); }, 1061101,
                 FrameworkException::FrameworkKind, L"Framework parameter not initialised",
                 L"Service::sendMessage");
    EXPECT_EQ(*m_destroyed, 3);
}

TEST_F(ApplicationFrameworkTest, ASentMessageGoesToTheDeviceOfItsMechanism)
{
    FakeService* s = service("s");
    device(CommunicationDevice::Internal, "loop");
    FakeDevice* http = device(CommunicationDevice::Http, "http");
    s->sendMessage(counted(5), CommunicationDevice::Http);
    std::unique_ptr<Msg> sent(http->takeSent());
    ASSERT_TRUE(sent);
    EXPECT_EQ(seqOf(*sent), 5);
}

TEST_F(ApplicationFrameworkTest, AnInternalMessageArrivesInALaterPulse)
{
    FakeService* sender = service("sender", {Msg::SYSTEM_EVENT});
    service("receiver", {Msg::PLUGIN_INFO});
    m_framework->addCommunicationDevice(new InternalCommDevice);
    FakeDevice* outside = device(CommunicationDevice::Http, "outside");
    sender->onMessage = [&](Msg&) {
        sender->sendMessage(counted(2), CommunicationDevice::Internal);
        m_journal->add("sent");
    };
    outside->deliver(counted(1, Msg::SYSTEM_EVENT));

    EXPECT_TRUE(m_framework->pulse());
    EXPECT_EQ(m_journal->entries(), (Entries{"sender processes 1", "sent"}));
    EXPECT_TRUE(m_framework->pulse());
    EXPECT_EQ(m_journal->entries(),
              (Entries{"sender processes 1", "sent", "receiver processes 2"}));
    EXPECT_EQ(*m_destroyed, 2);
}

TEST_F(ApplicationFrameworkTest, TheInternalDeviceLoopsMessagesBackInOrder)
{
    InternalCommDevice loop;
    EXPECT_EQ(loop.getCommType(), CommunicationDevice::Internal);
    loop.pushMessage(counted(1));
    loop.pushMessage(counted(2));
    EXPECT_EQ(loop.getOutQSize(), 0u);
    std::unique_ptr<Msg> first(loop.popMessage());
    std::unique_ptr<Msg> second(loop.popMessage());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(seqOf(*first), 1);
    EXPECT_EQ(seqOf(*second), 2);
    EXPECT_THROW(loop.pushMessage(nullptr), Exception);
}

TEST_F(ApplicationFrameworkTest, AFailingServiceEndsThePulseAndTheFrameworkGoesOn)
{
    FakeService* a = service("a", {Msg::PLUGIN_INFO});
    service("b", {Msg::PLUGIN_INFO});
    FakeDevice* d = device(CommunicationDevice::Internal, "d");
    a->onMessage = [](Msg& msg) {
        if (seqOf(msg) == 1)
            throw Exception(4711, L"service failed", TC_AT(L"FakeService::processMsg"));
    };
    d->deliver(counted(1));
    d->deliver(counted(2));

    expectThrows([&] { m_framework->pulse(); }, 4711, Exception::PlainKind, L"service failed",
                 L"FakeService::processMsg");
    EXPECT_EQ(*m_destroyed, 1) << "the message being routed was not dropped";
    EXPECT_TRUE(m_framework->pulse());
    EXPECT_EQ(m_journal->entries(), (Entries{"a processes 1", "a processes 2", "b processes 2"}));
}

TEST_F(ApplicationFrameworkTest, DestructionDeletesServicesThenStopsAndDeletesDevicesInOrder)
{
    service("s0");
    service("s1");
    FakeDevice* d0 = device(CommunicationDevice::Internal, "d0");
    FakeDevice* d1 = device(CommunicationDevice::Http, "d1");
    d0->siblings = d1->siblings = {d0, d1};
    ASSERT_TRUE(eventually([&] {
        return d0->getThreadState() == Thread::Running && d1->getThreadState() == Thread::Running;
    }));
    d0->deliver(counted(1));

    m_framework.reset();
    // Each device is deleted after terminate, with every device asked to
    // stop beforehand.
    EXPECT_EQ(m_journal->entries(),
              (Entries{"delete s0", "delete s1", "delete d0 state 2 others asked to stop yes",
                       "delete d1 state 2 others asked to stop yes"}));
    EXPECT_EQ(*m_destroyed, 1) << "a message left in a device was not destroyed";
}

} // namespace
