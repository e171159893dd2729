#pragma once
// What the tests of the server services share: a framework whose timers do
// not tick (the tests call onTimer themselves, with a clock they drive), a
// device for the Http mechanism that keeps what the services send, a
// stand-in for the logon service that reports through the session and the
// status broadcast as the real one does, and a system model on a scripted
// desktop whose user details the test gives.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/CommunicationDevice.h"
#include "base/Msg.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/Service.h"
#include "shared/monitoring/ScriptedDesktop.h"
#include "shared/monitoring/System.h"
#include "shared/server/AutoEnrollService.h"
#include "shared/server/TavelinSessionDetails.h"
#include "shared/server/UserDetails.h"

namespace servertest {

// The Http mechanism's device: every message sent is kept, as its wire
// form read back, so that what is recorded is what the server would get.
class RecordingHttpDevice : public CommunicationDevice {
public:
    ~RecordingHttpDevice() override;
    bool setup() override { return true; }
    bool canSendMsgs() override { return true; }
    bool canReceiveMsgs() override { return true; }
    CommMechanism getCommType() override { return Http; }
    void pushMessage(Msg* msg) override;

    // As if the server had answered with it; the device owns it.
    void deliver(Msg* msg);
    std::vector<Msg> sent() const;
    std::vector<Msg> sentOfType(Msg::MsgType type) const;
    void clearSent();

private:
    mutable std::mutex m_lock;
    std::vector<Msg> m_sent;
};

// Keeps the internal broadcasts no service under test takes, so that they
// do not count as messages without a handler.
class BroadcastRecorder : public Service {
public:
    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override;
    bool processMsg(Msg& msg) override;
    std::vector<Msg> ofType(Msg::MsgType type) const;
    std::vector<Msg> received;
};

class TestFramework : public ApplicationFramework {
public:
    TestFramework();
    template <class S>
    S* add(S* service)
    {
        addService(service);
        return service;
    }
    // Pulses until nothing more happens.
    void drain();
    RecordingHttpDevice& http() { return *m_http; }
    BroadcastRecorder& broadcasts() { return *m_broadcasts; }
    // Sends a CONNECTION_STATUS_CHANGE on the internal device.
    void broadcastStatus(TavelinSessionDetails::ConnectionStatus status);

private:
    RecordingHttpDevice* m_http;
    BroadcastRecorder* m_broadcasts = nullptr;
    friend class FakeLogon;
};

// The logon service as the enrollment sees it: logOn goes to Connecting,
// logOff to NotConnected, each stored in the session and broadcast; the
// test then decides how the logon ends.
class FakeLogon : public AutoEnrollService::Logon {
public:
    FakeLogon(System& system, TestFramework& framework) : m_system(system), m_framework(framework)
    {}
    void logOn(const wchar_t* userName, const wchar_t* password) override;
    void logOff() override;

    // The logon in progress succeeds: the session gets the user id, name and
    // password, and Connected.
    void succeed(int userId);
    // It fails with that error: ConnectionError.
    void fail(TavelinSessionDetails::ConnectionError error);

    struct Call {
        std::wstring what; // "logOn" or "logOff"
        std::wstring userName;
        std::wstring password;
    };
    std::vector<Call> calls;
    size_t logOnCount() const;
    size_t logOffCount() const;

private:
    void setStatus(TavelinSessionDetails::ConnectionStatus status);

    System& m_system;
    TestFramework& m_framework;
    std::wstring m_userName;
    std::wstring m_password;
};

// The desktop lives before the system that reads it.
struct DesktopHolder {
    ScriptedDesktop desktop;
};

class TestSystem : private DesktopHolder, public System {
public:
    explicit TestSystem(const Clock& clock) : System(desktop, clock) {}
    // Replaces the looked-up details by these, ready.
    void setUserDetails(const UserDetails::Fields& fields);
};

// A user as the directory would describe one, with that many groups.
UserDetails::Fields directoryUser(int groups);

// The attribute or a marker that it is missing.
std::wstring text(const Msg& msg, const wchar_t* name);
int number(const Msg& msg, const wchar_t* name, int missing = -12345);

} // namespace servertest
