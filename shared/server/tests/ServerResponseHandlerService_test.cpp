// The response handler: what an update from the server stores.
#include <gtest/gtest.h>

#include "LogonFixture.h"

using namespace logontest;

namespace {

TEST_F(LogonTest, UpdateStoresTheMachineIdAndTheApplicationId)
{
    ServerResponseHandlerService handler(m_system);
    testsupport::TempFolder folder(L"respapp");
    const std::wstring exe = folder.file(L"ed.exe");
    testsupport::writeFile(exe, std::string("MZ"));
    m_system.addApplication(exe.c_str(), -1);

    Msg update;
    update.setType(Msg::UPDATE);
    update.setAttributeValue(L"MachineID", 7);
    update.setAttributeValue(L"ApplicationID", 31);
    update.setAttributeValue(L"FilePath", exe);
    ASSERT_TRUE(handler.canProcessMsg(update));
    handler.processMsg(update);
    EXPECT_EQ(session().getMachineID(), 7);
    EXPECT_EQ(m_system.getApplicationID(exe.c_str()), 31);
    EXPECT_EQ(m_trace.find(1063201).details, L" Msg Type:UPDATE");

    // An id for a path the client does not know yet is kept, not thrown.
    update.setAttributeValue(L"FilePath", folder.file(L"other.exe"));
    update.setAttributeValue(L"ApplicationID", 32);
    EXPECT_NO_THROW(handler.processMsg(update));
    EXPECT_EQ(m_system.getApplicationID(folder.file(L"other.exe").c_str()), 32);

    // Later status messages carry the machine id instead of the names.
    const ByteArray key = m_server.sessionKey();
    m_device->resetConnection(L"ann", {{L"hello", 80}});
    ASSERT_TRUE(m_device->establishConnectability());
    m_device->setSessionKey(&key);
    Msg* status = new Msg();
    status->setType(Msg::SYSTEM_STATE_CHANGE);
    status->setAttributeValue(L"MachineName", std::wstring(L"PC"));
    status->setAttributeValue(L"MachineDomain", std::wstring(L"D"));
    m_device->pushMessage(status);
    m_device->sendReceiveMsgs();
    ASSERT_EQ(m_server.stored.size(), 1u);
    int machine = 0;
    m_server.stored[0].getAttributeValue(L"MachineID", machine);
    EXPECT_EQ(machine, 7);
    EXPECT_FALSE(m_server.stored[0].containsStringAttribute(L"MachineName"));

    Msg ack;
    ack.setType(Msg::ACKNOWLEDGEMENT);
    EXPECT_TRUE(handler.canProcessMsg(ack));
    Msg other;
    other.setType(Msg::ERROR_MSG);
    EXPECT_FALSE(handler.canProcessMsg(other));
}

} // namespace
