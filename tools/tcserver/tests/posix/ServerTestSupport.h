#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "base/Msg.h"
#include "testsupport/TestSupport.h"
#include "tools/tcserver/posix/Faults.h"
#include "tools/tcserver/posix/ServerDatabase.h"
#include "tools/tcserver/posix/SubmitClient.h"
#include "tools/tcserver/posix/TcServer.h"

namespace servertest {

// A server answering in process: a database in a folder of the test's own,
// a clock the test sets, and clients whose requests go straight to
// TcServer::submit with the product's user agent.
class ServerFixture {
public:
    explicit ServerFixture(ServerConfig config = {});

    std::string dbPath() const;
    ServerDatabase& db() { return *m_db; }
    Faults& faults() { return m_faults; }
    TcServer& server() { return *m_server; }
    int64_t now = 1'780'000'000; // the server's clock

    int addUser(const std::wstring& name, const std::wstring& password);
    std::unique_ptr<SubmitClient> client(const std::string& userAgent = "Tavelin Client/1.0");
    // A client logged on as name.
    std::unique_ptr<SubmitClient> loggedOn(const std::wstring& name, const std::wstring& password);

private:
    testsupport::TempFolder m_folder{L"tcserver"};
    std::unique_ptr<ServerDatabase> m_db;
    Faults m_faults;
    std::unique_ptr<TcServer> m_server;
};

// Messages as the product's client builds them.
Msg stateChange(const std::wstring& state);
Msg longApplicationChange(const std::wstring& path, const std::wstring& document);
Msg shortApplicationChange(int applicationId, const std::wstring& document);
void addMachineName(Msg& msg, const std::wstring& name, const std::wstring& domain);

int intOf(const Msg& msg, const wchar_t* name, int missing = -999);
std::wstring stringOf(const Msg& msg, const wchar_t* name);
ByteArray bytesOf(const std::string& text);

} // namespace servertest
