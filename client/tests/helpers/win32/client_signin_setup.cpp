// Prepares the registry of the Wine session for a client that should log
// on by itself, as an installer and an earlier sign-in would have left it:
//   client_signin_setup set PORT NAME PASSWORD
//       all five hello servers at 127.0.0.1:PORT (machine key), and NAME
//       with PASSWORD as the saved sign-in (user key)
//   client_signin_setup clear
//       removes those values again
// Exit 0 when every value was written (or removed), 1 otherwise, 2 for a
// wrong command line.
#include <cstdlib>
#include <cwchar>
#include <string>

#include "base/Registry.h"
#include "base/win32/WindowsSupport.h"
#include "shared/server/SecurityDevice.h"
#include "shared/server/ServerLogonService.h"

#include <shellapi.h>

namespace {

std::wstring hostName(int n)
{
    return L"server." + std::to_wstring(n) + L".host";
}

std::wstring portName(int n)
{
    return L"server." + std::to_wstring(n) + L".port";
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2)
        return 2;
    const std::wstring command = argv[1];
    Registry servers(Registry::LocalMachine, ServerLogonService::ServersKey);
    Registry user(Registry::CurrentUser, Registry::SoftwareKey);
    bool ok = true;
    if (command == L"set" && argc == 5) {
        const int port = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
        const std::wstring name = argv[3];
        for (int n = 0; n < 5; ++n) {
            ok = servers.write(hostName(n), L"127.0.0.1") && ok;
            ok = servers.write(portName(n), port) && ok;
        }
        ok = user.write(L"Username", name) && ok;
        ok = user.write(L"SessionID", SecurityDevice::encryptString(argv[4], name)) && ok;
    } else if (command == L"clear" && argc == 2) {
        for (int n = 0; n < 5; ++n) {
            servers.deleteValue(hostName(n));
            servers.deleteValue(portName(n));
        }
        user.deleteValue(L"Username");
        user.deleteValue(L"SessionID");
        ok = user.read(L"Username", L"") == L"";
    } else {
        LocalFree(argv);
        return 2;
    }
    LocalFree(argv);
    return ok ? 0 : 1;
}
