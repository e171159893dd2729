// tclink USERID REPORTS_ADDRESS [--group] [--date YYYYMMDD] [--number N]
// tclink --secret NAME
//
// Prints the sign-in link to the reports pages that the client would open
// for the user USERID whose password is the first line of standard input:
// the summary of the day, or the group list with --group. The link is made by
// the client's own code; --date and --number fix what it would otherwise take
// from the local date and the random source. Exit 0 with the link, 2 for
// wrong arguments, 1 when no signed link came out (the plain address is then
// printed on standard error).
//
// --secret prints, in hexadecimal, the saved sign-in secret of the account
// NAME with that password, as the client keeps it beside "Username" in the
// registry value "SessionID", so that a script can set up a saved sign-in.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "base/ByteArray.h"
#include "base/Utf16.h"
#include "client/AuthenticationURL.h"
#include "shared/server/SecurityDevice.h"
#include "shared/server/TavelinSessionDetails.h"

namespace {

int usage()
{
    std::fprintf(stderr, "usage: tclink USERID REPORTS_ADDRESS [--group] [--date YYYYMMDD] [--number N]\n"
                         "       tclink --secret NAME\n"
                         "       (the password on standard input)\n");
    return 2;
}

bool wholeNumber(const char* text, unsigned long long limit, unsigned long long& value)
{
    if (!*text || *text == '-' || *text == '+')
        return false;
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return *end == '\0' && value <= limit;
}

std::wstring readPassword()
{
    std::string password;
    std::getline(std::cin, password);
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return Utf16::fromUtf8(password);
}

int printSecret(const std::string& name)
{
    const std::wstring password = readPassword();
    if (name.empty() || password.empty())
        return usage();
    const ByteArray secret = SecurityDevice::encryptString(password, Utf16::fromUtf8(name));
    if (secret.getSize() == 0) {
        std::fprintf(stderr, "tclink: the password could not be encrypted\n");
        return 1;
    }
    for (int i = 0; i < secret.getSize(); ++i)
        std::printf("%02x", secret.getData()[i]);
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--secret") == 0)
        return printSecret(argv[2]);
    if (argc < 3)
        return usage();
    unsigned long long userId = 0;
    if (!wholeNumber(argv[1], INT32_MAX, userId) || userId < 1)
        return usage();
    const std::wstring address = Utf16::fromUtf8(argv[2]);
    bool group = false;
    AuthenticationURL::Sources sources = AuthenticationURL::standardSources();
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--group") {
            group = true;
        } else if (option == "--date" && i + 1 < argc) {
            const std::string date = argv[++i];
            if (date.size() != 8 || date.find_first_not_of("0123456789") != std::string::npos)
                return usage();
            const std::wstring wide = Utf16::fromUtf8(date);
            sources.date = [wide] { return wide; };
        } else if (option == "--number" && i + 1 < argc) {
            unsigned long long number = 0;
            if (!wholeNumber(argv[++i], 0xFFFFFFFFull, number))
                return usage();
            sources.number = [number] { return static_cast<uint32_t>(number); };
        } else {
            return usage();
        }
    }

    const std::wstring password = readPassword();
    TavelinSessionDetails session;
    session.setUserID(static_cast<int>(userId));
    session.setUserPasswordHash(SecurityDevice::computePasswordHash(password));
    session.setConnectionStatus(TavelinSessionDetails::ConnectionStatus::Connected);

    const std::string link = Utf16::toUtf8(AuthenticationURL::generate(session, address, group, sources));
    if (link.find("Security/AutoLogin.aspx?") == std::string::npos) {
        std::fprintf(stderr, "no signed link; the plain address is %s\n", link.c_str());
        return 1;
    }
    std::printf("%s\n", link.c_str());
    return 0;
}
