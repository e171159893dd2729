// The client's server side, composed as the client program composes it
// (internal and HTTP devices; response handler, logon, connection manager,
// automatic enrollment, user details update, client profile update), run
// against a server on the loopback, for the end-to-end tests.
//
//   srv_enroll_client PORT [--org ID TOKEN] [--user NAME PASSWORD] [--events FILE]
//
// The machine's settings (hello servers, organisation id and token) and the
// user's (saved sign-in, profile) live in keys of this process's own under
// "Software\OndrivexTests", removed at exit. --user saves a sign-in as the
// client would have saved it.
//
// What happens is printed on standard output, one line each, UTF-8:
//   status STATUS ERROR        every connection status broadcast
//   enroll STATE               every state the enrollment takes
//   connected NAME ID          a logon succeeded
//   saved NAME                 the saved sign-in after a logon of the user
//   status-sent / reply TYPE   the status message sent as the user, its answer
//   user-info-sent             the directory details went to the server
//   profile-change ...         the profile arrived; then "registry NAME=VALUE"
//                              lines and what a next start would read
// Events go to standard error, or with --events to the end of FILE, each
// line written through before the next step: a reader that looks once the
// process has ended finds them all, whatever the emulator does with the
// standard error. Commands on standard input, one a line:
//   tick   five minutes pass on the enrollment's clock and its timer fires
//          (the pending re-send, without waiting for it)
//   quit
// Exit 0 after quit, 3 when nothing came for 150 seconds.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/Exception.h"
#include "base/File.h"
#include "base/Msg.h"
#include "base/Registry.h"
#include "base/Utf16.h"
#include "base/win32/WindowsSupport.h"
#include "shared/framework/ApplicationFramework.h"
#include "shared/framework/Clock.h"
#include "shared/framework/InternalCommDevice.h"
#include "shared/monitoring/System.h"
#include "shared/server/AutoEnrollService.h"
#include "shared/server/ClientProfile.h"
#include "shared/server/ClientProfileUpdateService.h"
#include "shared/server/HttpCommDevice.h"
#include "shared/server/SecurityDevice.h"
#include "shared/server/ServerConnectionManagerService.h"
#include "shared/server/ServerLogonService.h"
#include "shared/server/ServerResponseHandlerService.h"
#include "shared/server/ServerUserUpdateService.h"
#include "tools/common/StderrEvents.h"

#include <shellapi.h>

namespace {

void say(const std::wstring& line)
{
    const std::string bytes = Utf16::toUtf8(line + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

// Commands read on a thread of their own, taken by the pulse loop.
class Commands {
public:
    void start()
    {
        std::thread([this] {
            std::string line;
            while (std::getline(std::cin, line)) {
                while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                    line.pop_back();
                std::lock_guard<std::mutex> guard(m_lock);
                m_lines.push_back(line);
            }
            std::lock_guard<std::mutex> guard(m_lock);
            m_lines.push_back("quit");
        }).detach();
    }
    bool next(std::string& line)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_lines.empty())
            return false;
        line = m_lines.front();
        m_lines.pop_front();
        return true;
    }

private:
    std::mutex m_lock;
    std::deque<std::string> m_lines;
};

// What the test watches, from inside the framework.
class Watcher : public Service {
public:
    Watcher(System& system, const std::wstring& userKey) : m_system(system), m_userKey(userKey) {}
    bool setup() override { return true; }
    bool canProcessMsg(Msg& msg) override
    {
        const int type = msg.getType();
        return type == Msg::CONNECTION_STATUS_CHANGE || type == Msg::CLIENT_PROFILE_CHANGE ||
               type == Msg::ACKNOWLEDGEMENT || type == Msg::UPDATE;
    }
    bool processMsg(Msg& msg) override
    {
        TavelinSessionDetails& session = m_system.getTavelinSessionDetails();
        switch (msg.getType()) {
        case Msg::CONNECTION_STATUS_CHANGE: {
            int status = -1;
            msg.getAttributeValue(L"ConnectionStatus", status);
            say(L"status " + TavelinSessionDetails::getConnectionStatusDescription(status) + L" " +
                TavelinSessionDetails::getConnectionErrorDescription(session.getConnectionError()));
            if (status == static_cast<int>(TavelinSessionDetails::ConnectionStatus::Connected) &&
                session.isLoggedOn())
                onConnected(session);
            break;
        }
        case Msg::CLIENT_PROFILE_CHANGE:
            onProfileChange(session);
            break;
        default:
            say(L"reply " +
                std::wstring(msg.getType() == Msg::UPDATE ? L"Update" : L"Acknowledgement"));
            break;
        }
        return true;
    }

private:
    void onConnected(TavelinSessionDetails& session)
    {
        say(L"connected " + session.getUserName() + L" " + std::to_wstring(session.getUserID()));
        if (AutoEnrollService::isAutoEnrollUserName(session.getUserName()))
            return;
        // The connection manager, earlier in the list, has saved it by now.
        say(L"saved " + Registry(Registry::CurrentUser, m_userKey).read(L"Username", L""));
        // A status message as the status service sends one: locked.
        Msg* status = new Msg();
        status->setType(Msg::SYSTEM_STATE_CHANGE);
        status->setAttributeValue(L"SystemState", std::wstring(L"SystemStateLocked"));
        status->setAttributeValue(L"MachineName", m_system.getMachineDetails().getMachineName());
        status->setAttributeValue(L"MachineDomain", m_system.getMachineDetails().getDomain());
        sendMessage(status, CommunicationDevice::Http);
        say(L"status-sent");
    }

    void onProfileChange(TavelinSessionDetails& session)
    {
        const ClientProfile& profile = session.getClientProfile();
        say(L"profile-change override=" + std::to_wstring(profile.overrideActivityWhenOnPhone()) +
            L" meeting=" + std::to_wstring(profile.getMaximumMeetingMinutes()));
        const Registry user(Registry::CurrentUser, m_userKey);
        for (const wchar_t* name : {L"AllowPhoneOverrideActivity", L"MaximumMeetingTimeSpan"})
            say(L"registry " + std::wstring(name) + L"=" + std::to_wstring(user.read(name, -1)));
        say(L"registry Username=" + user.read(L"Username", L"<missing>"));
        say(L"registry Sub\\Evil=" + std::to_wstring(user.read(L"Sub\\Evil", -1)));
        say(L"registry Comment=" + user.read(L"Comment", L"<missing>"));
        const ClientProfile nextStart(m_userKey);
        say(L"next-start override=" + std::to_wstring(nextStart.overrideActivityWhenOnPhone()));
    }

    System& m_system;
    std::wstring m_userKey;
};

class Client : public ApplicationFramework {
public:
    Client(System& system, const Clock& enrollClock, const std::wstring& machineKey,
           const std::wstring& userKey, const std::wstring& queueName)
    {
        addCommunicationDevice(new InternalCommDevice());
        HttpCommDevice* http = new HttpCommDevice(system, Clock::system(), queueName);
        addCommunicationDevice(http);
        addService(new ServerResponseHandlerService(system));
        logon = new ServerLogonService(system, *http, machineKey + L"\\Servers");
        addService(logon);
        addService(new ServerConnectionManagerService(system, *logon, Clock::system(), userKey,
                                                      userKey + L"\\Older"));
        enroll = new AutoEnrollService(system, *logon, enrollClock, machineKey);
        addService(enroll);
        addService(new ServerUserUpdateService(system));
        addService(new ClientProfileUpdateService(system));
        addService(new Watcher(system, userKey));
    }
    ServerLogonService* logon = nullptr;
    AutoEnrollService* enroll = nullptr;
};

// The test's key under the root, in the view the registry class uses.
void removeKey(Registry::RootKey root, const std::wstring& parent, const std::wstring& leaf)
{
    HKEY key = nullptr;
    const HKEY base = root == Registry::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const REGSAM view = root == Registry::LocalMachine ? KEY_WOW64_32KEY : 0;
    if (RegOpenKeyExW(base, parent.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeW(key, leaf.c_str());
        RegCloseKey(key);
    }
}

int run(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    const int port = _wtoi(argv[1]);
    const std::wstring parent = L"Software\\OndrivexTests";
    const std::wstring leaf = L"srv_enroll_client" + std::to_wstring(GetCurrentProcessId());
    const std::wstring key = parent + L"\\" + leaf;

    Registry machine(Registry::LocalMachine, key);
    Registry servers(Registry::LocalMachine, key + L"\\Servers");
    Registry user(Registry::CurrentUser, key);
    for (int i = 0; i < 5; ++i) {
        servers.write(L"server." + std::to_wstring(i) + L".host", L"127.0.0.1");
        servers.write(L"server." + std::to_wstring(i) + L".port", port);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> events(nullptr, &std::fclose);
    bool understood = true;
    for (int i = 2; i < argc && understood; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--events" && i + 1 < argc) {
            events.reset(_wfopen(argv[i + 1], L"ab"));
            understood = events != nullptr;
            i += 1;
        } else if (option == L"--org" && i + 2 < argc) {
            machine.write(L"OrganisationID", _wtoi(argv[i + 1]));
            machine.write(L"OrganisationToken", std::wstring(argv[i + 2]));
            i += 2;
        } else if (option == L"--user" && i + 2 < argc) {
            const std::wstring name = argv[i + 1];
            user.write(L"Username", name);
            user.write(L"SessionID", SecurityDevice::encryptString(argv[i + 2], name));
            i += 2;
        } else {
            understood = false;
        }
    }
    if (!understood) {
        removeKey(Registry::LocalMachine, parent, leaf);
        removeKey(Registry::CurrentUser, parent, leaf);
        return 2;
    }

    Logger::initialise(L"srv_enroll_client");
    Logger::addCustomTraceDevice(events ? new toolsupport::StderrEvents(events.get())
                                        : new toolsupport::StderrEvents());

    int result = 3;
    const std::wstring queueName = leaf + L".dat";
    {
        ManualClock enrollClock(Clock::system().now());
        System system;
        // The profile is this process's, not the user's own.
        system.getTavelinSessionDetails().getClientProfile() = ClientProfile(key);
        Client client(system, enrollClock, key, key, queueName);
        Commands commands;
        commands.start();
        client.setup();

        int lastState = -1;
        bool userInfoSent = false;
        auto lastNews = std::chrono::steady_clock::now();
        for (;;) {
            bool busy = false;
            try {
                busy = client.pulse();
            } catch (const Exception& e) {
                say(L"exception " + std::to_wstring(e.getExceptionID()) + L" " +
                    e.getDescription());
            }
            if (client.enroll->getState() != lastState) {
                lastState = client.enroll->getState();
                say(L"enroll " + AutoEnrollService::getStateDescription(lastState));
            }
            if (!userInfoSent && ServerUserUpdateService::hasUpdateBeenSent()) {
                userInfoSent = true;
                say(L"user-info-sent");
            }
            std::string command;
            if (commands.next(command)) {
                lastNews = std::chrono::steady_clock::now();
                if (command == "quit") {
                    result = 0;
                    break;
                }
                if (command == "tick") {
                    enrollClock.advance(AutoEnrollService::PendingMs / 1000);
                    client.enroll->onTimer();
                }
            }
            if (std::chrono::steady_clock::now() - lastNews > std::chrono::seconds(150))
                break;
            if (!busy)
                Sleep(20);
        }
    }
    // The queue file goes with the run.
    DeleteFileW((File::getTempPath() + L"\\" + queueName).c_str());
    removeKey(Registry::LocalMachine, parent, leaf);
    removeKey(Registry::CurrentUser, parent, leaf);
    // The devices go before the file they write to.
    Logger::shutDown();
    return result;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const int result = run(argc, argv);
    LocalFree(argv);
    return result;
}
