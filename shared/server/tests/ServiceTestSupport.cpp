#include "ServiceTestSupport.h"

#include "base/ByteArray.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/framework/Timer.h"

namespace servertest {

RecordingHttpDevice::~RecordingHttpDevice()
{
    terminate(Infinite);
}

void RecordingHttpDevice::pushMessage(Msg* msg)
{
    std::unique_ptr<Msg> owned(msg);
    ByteArray wire;
    owned->toByteArray(wire);
    Msg back;
    back.fromByteArray(wire);
    std::lock_guard<std::mutex> guard(m_lock);
    m_sent.push_back(back);
}

void RecordingHttpDevice::deliver(Msg* msg)
{
    CommunicationDevice::pushMessage(msg, m_inQ, m_inLock);
}

std::vector<Msg> RecordingHttpDevice::sent() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_sent;
}

std::vector<Msg> RecordingHttpDevice::sentOfType(Msg::MsgType type) const
{
    std::vector<Msg> out;
    for (const Msg& msg : sent())
        if (msg.getType() == type)
            out.push_back(msg);
    return out;
}

void RecordingHttpDevice::clearSent()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_sent.clear();
}

bool BroadcastRecorder::canProcessMsg(Msg& msg)
{
    return msg.getType() == Msg::CONNECTION_STATUS_CHANGE ||
           msg.getType() == Msg::CLIENT_PROFILE_CHANGE;
}

bool BroadcastRecorder::processMsg(Msg& msg)
{
    received.push_back(msg);
    return true;
}

std::vector<Msg> BroadcastRecorder::ofType(Msg::MsgType type) const
{
    std::vector<Msg> out;
    for (const Msg& msg : received)
        if (msg.getType() == type)
            out.push_back(msg);
    return out;
}

TestFramework::TestFramework() : m_http(new RecordingHttpDevice())
{
    // No tick ever arrives: the tests call onTimer when their clock says so.
    Timer::shutDown();
    addCommunicationDevice(new InternalCommDevice());
    addCommunicationDevice(m_http);
    m_broadcasts = new BroadcastRecorder();
    addService(m_broadcasts);
}

void TestFramework::drain()
{
    while (pulse()) {
    }
}

void TestFramework::broadcastStatus(TavelinSessionDetails::ConnectionStatus status)
{
    Msg* msg = new Msg();
    msg->setType(Msg::CONNECTION_STATUS_CHANGE);
    msg->setAttributeValue(L"ConnectionStatus", static_cast<int>(status));
    sendMessage(msg, CommunicationDevice::Internal);
}

void FakeLogon::logOn(const wchar_t* userName, const wchar_t* password)
{
    calls.push_back({L"logOn", userName ? userName : L"", password ? password : L""});
    if (userName == nullptr || password == nullptr || *userName == 0 || *password == 0)
        return;
    m_userName = userName;
    m_password = password;
    setStatus(TavelinSessionDetails::ConnectionStatus::Connecting);
}

void FakeLogon::logOff()
{
    calls.push_back({L"logOff", L"", L""});
    m_userName.clear();
    m_password.clear();
    setStatus(TavelinSessionDetails::ConnectionStatus::NotConnected);
}

void FakeLogon::succeed(int userId)
{
    TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
    session.setUserID(userId);
    session.setUserName(m_userName);
    session.setUserPassword(m_password);
    setStatus(TavelinSessionDetails::ConnectionStatus::Connected);
}

void FakeLogon::fail(TavelinSessionDetails::ConnectionError error)
{
    m_system.getTavelinSessionDetails().setConnectionError(error);
    setStatus(TavelinSessionDetails::ConnectionStatus::ConnectionError);
}

void FakeLogon::setStatus(TavelinSessionDetails::ConnectionStatus status)
{
    m_system.getTavelinSessionDetails().setConnectionStatus(status);
    m_framework.broadcastStatus(status);
}

size_t FakeLogon::logOnCount() const
{
    size_t n = 0;
    for (const Call& call : calls)
        n += call.what == L"logOn" ? 1 : 0;
    return n;
}

size_t FakeLogon::logOffCount() const
{
    size_t n = 0;
    for (const Call& call : calls)
        n += call.what == L"logOff" ? 1 : 0;
    return n;
}

void TestSystem::setUserDetails(const UserDetails::Fields& fields)
{
    m_userDetails = UserDetails(fields);
}

UserDetails::Fields directoryUser(int groups)
{
    UserDetails::Fields f;
    f.username = L"jsmith";
    f.domain = L"EXAMPLE";
    f.sid = L"S-1-5-21-1004336348-1177238915-682003330-1001";
    f.guid = L"{6f1c2a9e-0b7d-4c55-9a1e-3d2b8c4f5a60}";
    f.fullDName = L"CN=Smith\\, Jane,OU=Staff,DC=example,DC=org";
    f.displayName = L"Smith, Jane";
    f.email = L"jane.smith@example.org";
    f.firstName = L"Jane";
    f.namePrefix = L"Dr";
    f.title = L"Analyst";
    f.lastName = L"Smith";
    f.managerSid = L"S-1-5-21-1004336348-1177238915-682003330-1107";
    f.department = L"Research";
    f.division = L"Science";
    f.telephone = L"+44 20 7946 0000";
    f.mobileNumber = L"+44 7700 900000";
    for (int i = 0; i < groups; ++i)
        f.groups.emplace_back(L"CN=Group " + std::to_wstring(i) + L",OU=Groups",
                              L"{guid-" + std::to_wstring(i) + L"}");
    return f;
}

std::wstring text(const Msg& msg, const wchar_t* name)
{
    std::wstring value = L"<missing>";
    msg.getAttributeValue(name, value);
    return value;
}

int number(const Msg& msg, const wchar_t* name, int missing)
{
    int value = missing;
    msg.getAttributeValue(name, value);
    return value;
}

} // namespace servertest
