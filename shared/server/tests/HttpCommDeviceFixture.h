#pragma once
// The device tests' fixture: a scripted device on a scripted server, with a
// manual clock and its own file queue.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "HttpTestSupport.h"
#include "base/File.h"
#include "shared/server/FileMsgQueue.h"
#include "testsupport/EventCapture.h"

namespace httptest {

using Events = std::vector<int>;

// Named, not anonymous: the device's tests live in more than one file and
// share the one fixture.
class HttpCommDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_queueName = testsupport::uniqueName(L"httpq") + L".dat";
        m_device.reset(new ScriptedDevice(m_system, m_clock, m_server, m_queueName));
    }
    void TearDown() override
    {
        m_device.reset();
        testsupport::removeFile(File::getTempPath() + File::Separator + m_queueName);
    }

    static Msg* status(int state)
    {
        Msg* msg = new Msg();
        msg->setType(Msg::SYSTEM_STATE_CHANGE);
        msg->setAttributeValue(L"SystemState", state);
        msg->setAttributeValue(L"MachineName", std::wstring(L"PC1"));
        msg->setAttributeValue(L"MachineDomain", std::wstring(L"WORK"));
        msg->setAttributeValue(L"Icon", new ByteArray("icon", 4));
        return msg;
    }
    static int stateOf(const Msg& msg)
    {
        int state = -1;
        msg.getAttributeValue(L"SystemState", state);
        return state;
    }
    static int intOf(const Msg& msg, const wchar_t* name)
    {
        int value = -12345;
        msg.getAttributeValue(name, value);
        return value;
    }

    // A connection and a session key, as the logon service leaves them.
    void connect()
    {
        m_device->resetConnection(L"ann", {{L"hello", 80}});
        Msg* challenge = new Msg();
        challenge->setType(Msg::CHALLENGE_REQUEST);
        m_device->pushMessage(challenge);
        // Live messages left from the broken connection go to the file
        // queue first, one per step.
        for (int i = 0; i < 5 && !m_device->isConnected(); ++i)
            m_device->sendReceiveMsgs();
        ASSERT_TRUE(m_device->isConnected());
        ASSERT_EQ(m_device->getOutQSize(), 0u);
        const ByteArray key = m_server.sessionKey();
        m_device->setSessionKey(&key);
        m_system.getTavelinSessionDetails().setUserID(m_server.userId);
        m_device->takeInbound();
    }

    // Closes the device, takes the first message of its file queue with an
    // independent reader of the file (the queue class itself), and opens the
    // device again on the same file. Null when the file held none.
    std::unique_ptr<Msg> firstStoredMessage()
    {
        m_device.reset();
        std::unique_ptr<Msg> stored;
        {
            FileMsgQueue reader(m_queueName);
            if (reader.open())
                stored.reset(reader.popMessage());
            else
                ADD_FAILURE() << "the file queue does not open";
        }
        m_device.reset(new ScriptedDevice(m_system, m_clock, m_server, m_queueName));
        return stored;
    }

    // Steps the worker until it has nothing left (bounded).
    void drain()
    {
        for (int i = 0; i < 50 && (m_device->sendReceiveMsgs() || m_device->getQueuedCount() > 0 ||
                                   m_device->getOutQSize() > 0);
             ++i) {
        }
    }

    testsupport::EventRecorder m_trace{testsupport::uniqueName(L"HttpDeviceTest")};
    ScriptedDesktop m_desktop;
    ManualClock m_clock{1800000000};
    System m_system{m_desktop, m_clock};
    ScriptedServer m_server;
    std::wstring m_queueName;
    std::unique_ptr<ScriptedDevice> m_device;
};

} // namespace httptest
