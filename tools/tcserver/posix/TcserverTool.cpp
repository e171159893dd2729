#include "tools/tcserver/posix/TcserverTool.h"

#include <signal.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <limits>
#include <memory>

#include "shared/server/SecurityDevice.h"
#include "tools/tcserver/posix/DayTimeline.h"
#include "tools/tcserver/posix/Faults.h"
#include "tools/tcserver/posix/HttpFront.h"
#include "tools/tcserver/posix/ReportPages.h"
#include "tools/tcserver/posix/ServerDatabase.h"
#include "tools/tcserver/posix/ServerText.h"
#include "tools/tcserver/posix/TcServer.h"

namespace {

const char* const Usage =
    "usage: tcserver [--db FILE] COMMAND\n"
    "  user add NAME               password on standard input\n"
    "  user password NAME          new password on standard input\n"
    "  user suspend NAME | user resume NAME | user list\n"
    "  serve [--host H] [--port N] [--threads N] [--control-port N] [--fault F]...\n"
    "        [--min-client-version V] [--client-version V] [--client-version-url U]\n"
    "        [--motd TEXT] [--reports-url U] [--submit-server URL]... [--request-log FILE]\n"
    "  day USER [YYYY-MM-DD]\n"
    "  profile USER [NAME VALUE | NAME --text TEXT | NAME --remove]\n"
    "  org add ID [--approval] | org list\n"
    "  enroll list | enroll approve N | enroll refuse N\n";

struct Failure {
    int code;
    std::string text;
};

// Pops the value that follows an option; usage error when there is none.
std::string value(std::vector<std::string>& args, size_t& i)
{
    if (i + 1 >= args.size())
        throw Failure{1, args[i] + " needs a value"};
    return args[++i];
}

int number(const std::string& text, const std::string& option)
{
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n < 0 || n > 65535)
        throw Failure{1, option + ": not a number: " + text};
    return static_cast<int>(n);
}

std::string readPassword(std::istream& in)
{
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    if (line.empty())
        throw Failure{1, "no password on standard input"};
    return line;
}

std::string passwordHash(const std::string& password)
{
    const ByteArray hash = SecurityDevice::computePasswordHash(ServerText::wide(password));
    return std::string(reinterpret_cast<const char*>(hash.getData()),
                       static_cast<size_t>(hash.getSize()));
}

int userCommand(ServerDatabase& db, std::vector<std::string>& args, std::istream& in,
                std::ostream& out)
{
    if (args.size() == 1 && args[0] == "list") {
        for (const auto& user : db.users())
            out << user.id << "\t" << ServerText::utf8(user.name)
                << (user.suspended ? "\tsuspended" : "") << "\n";
        return 0;
    }
    if (args.size() != 2)
        throw Failure{1, Usage};
    const std::wstring name = ServerText::wide(args[1]);
    if (name.empty())
        throw Failure{1, "empty user name"};
    if (args[0] == "add") {
        if (db.findUser(name))
            throw Failure{2, "user " + args[1] + " exists"};
        const int id = db.addUser(name, passwordHash(readPassword(in)));
        out << id << "\n";
        return 0;
    }
    bool found = false;
    if (args[0] == "password")
        found = db.setPassword(name, passwordHash(readPassword(in)));
    else if (args[0] == "suspend")
        found = db.setSuspended(name, true);
    else if (args[0] == "resume")
        found = db.setSuspended(name, false);
    else
        throw Failure{1, Usage};
    if (!found)
        throw Failure{2, "no user " + args[1]};
    return 0;
}

int dayCommand(ServerDatabase& db, std::vector<std::string>& args, std::ostream& out)
{
    if (args.empty() || args.size() > 2)
        throw Failure{1, Usage};
    const auto user = db.findUser(ServerText::wide(args[0]));
    if (!user)
        throw Failure{2, "no user " + args[0]};
    int64_t from = 0;
    if (args.size() == 2) {
        if (!ServerText::parseDate(args[1], from))
            throw Failure{2, "not a date (YYYY-MM-DD): " + args[1]};
    } else {
        ServerText::parseDate(ServerText::date(std::time(nullptr)), from);
    }
    const int64_t to = from + 86400;
    out << "day " << ServerText::date(from) << " of " << ServerText::utf8(user->name) << " (UTC)\n";
    out << "from\tto\tapplication\tdocument\tstate\n";
    for (const DaySegment& s : daySegments(db, user->id, from)) {
        const std::string end = !s.to ? "-"
                                : (*s.to >= to ? ServerText::date(*s.to) + " " : "") + ServerText::clock(*s.to);
        out << ServerText::clock(s.from) << "\t" << end << "\t"
            << (s.application.empty() ? "-" : ServerText::utf8(s.application)) << "\t"
            << (s.document.empty() ? "-" : ServerText::utf8(s.document)) << "\t" << ServerText::utf8(s.state) << "\n";
    }
    return 0;
}

int profileCommand(ServerDatabase& db, std::vector<std::string>& args, std::ostream& out)
{
    if (args.empty() || args.size() == 2 || args.size() > 4)
        throw Failure{1, Usage};
    const auto user = db.findUser(ServerText::wide(args[0]));
    if (!user)
        throw Failure{2, "no user " + args[0]};
    if (args.size() == 1) {
        for (const auto& setting : db.profile(user->id)) {
            out << ServerText::utf8(setting.name) << "\t"
                << (setting.isText ? "\"" + ServerText::utf8(setting.text) + "\"" : std::to_string(setting.value))
                << "\n";
        }
        return 0;
    }
    ProfileSetting setting;
    setting.name = ServerText::wide(args[1]);
    if (setting.name.empty())
        throw Failure{1, "empty setting name"};
    if (args.size() == 3 && args[2] == "--remove") {
        if (!db.removeProfileSetting(user->id, setting.name))
            throw Failure{2, "no setting " + args[1]};
        return 0;
    }
    if (args.size() == 4) {
        if (args[2] != "--text")
            throw Failure{1, Usage};
        setting.isText = true;
        setting.text = ServerText::wide(args[3]);
    } else {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(args[2].c_str(), &end, 10);
        if (args[2].empty() || *end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX)
            throw Failure{1, "not a whole number: " + args[2] + " (use --text for a text)"};
        setting.value = static_cast<int>(v);
    }
    db.setProfileSetting(user->id, setting);
    return 0;
}

int orgCommand(ServerDatabase& db, std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() == 1 && args[0] == "list") {
        for (const auto& e : db.users()) {
            if (e.organisationId == 0)
                continue;
            const auto org = db.findOrganisation(e.organisationId);
            out << e.organisationId << "\t" << ServerText::utf8(e.name)
                << (org && org->approvalRequired ? "\tapproval" : "") << "\n";
        }
        return 0;
    }
    if (args.size() < 2 || args.size() > 3 || args[0] != "add" || (args.size() == 3 && args[2] != "--approval"))
        throw Failure{1, Usage};
    char* end = nullptr;
    const long id = std::strtol(args[1].c_str(), &end, 10);
    if (args[1].empty() || *end != '\0' || id <= 0 || id > INT32_MAX)
        throw Failure{1, "an organisation id is a positive whole number: " + args[1]};
    if (db.findOrganisation(static_cast<int>(id)))
        throw Failure{2, "organisation " + args[1] + " exists"};
    const std::wstring password = TcServer::randomPassword();
    db.addOrganisation(static_cast<int>(id), args.size() == 3, TcServer::enrollmentUserName(static_cast<int>(id)),
                       passwordHash(ServerText::utf8(password)));
    out << ServerText::utf8(TcServer::organisationToken(static_cast<int>(id), password)) << "\n";
    return 0;
}

int enrollCommand(ServerDatabase& db, std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() == 1 && args[0] == "list") {
        for (const auto& e : db.enrollments()) {
            std::string account = "-";
            if (e.userId > 0) {
                if (auto user = db.findUser(e.userId))
                    account = ServerText::utf8(user->name);
            }
            out << e.id << "\t" << e.organisationId << "\t" << e.state << "\t"
                << ServerText::utf8(e.userDomain + L"\\" + e.windowsUserName) << "\t" << ServerText::utf8(e.sid)
                << "\t" << ServerText::utf8(e.displayName) << "\t" << ServerText::utf8(e.machineName) << "\t"
                << account << "\n";
        }
        return 0;
    }
    if (args.size() != 2 || (args[0] != "approve" && args[0] != "refuse"))
        throw Failure{1, Usage};
    char* end = nullptr;
    const long id = std::strtol(args[1].c_str(), &end, 10);
    const auto e = args[1].empty() || *end != '\0' ? std::nullopt : db.findEnrollment(static_cast<int>(id));
    if (!e)
        throw Failure{2, "no enrollment " + args[1]};
    if (args[0] == "approve") {
        // An enrolled person stays enrolled; approving again changes nothing.
        if (e->state != "enrolled")
            db.setEnrollmentState(e->id, "approved", e->userId);
    } else {
        db.setEnrollmentState(e->id, "refused", e->userId);
    }
    return 0;
}

int serveCommand(const std::string& dbPath, std::vector<std::string>& args, std::ostream& out)
{
    HttpOptions http;
    ServerConfig config;
    Faults faults;
    int controlPort = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--port")
            http.port = number(value(args, i), a);
        else if (a == "--host")
            http.host = value(args, i);
        else if (a == "--threads")
            http.threads = std::max(1, number(value(args, i), a));
        else if (a == "--control-port")
            controlPort = number(value(args, i), a);
        else if (a == "--request-log")
            http.requestLog = value(args, i);
        else if (a == "--fault") {
            const std::string f = value(args, i);
            if (!faults.apply(f))
                throw Failure{1, "unknown fault: " + f};
        } else if (a == "--min-client-version")
            config.minimumClientVersion = value(args, i);
        else if (a == "--client-version")
            config.clientVersion = value(args, i);
        else if (a == "--client-version-url")
            config.clientVersionUrl = value(args, i);
        else if (a == "--motd")
            config.motd = value(args, i);
        else if (a == "--reports-url")
            config.reportsUrl = value(args, i);
        else if (a == "--submit-server")
            config.submitServers.push_back(value(args, i));
        else
            throw Failure{1, "unknown option " + a + "\n" + Usage};
    }

    // The signals are taken by sigwait below, not by a handler, so block
    // them before any thread starts and inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ServerDatabase db(dbPath);
    TcServer server(db, faults, config);
    ReportPages reports(db, TcServer::systemClock());
    HttpFront front(server, faults, http, &reports);
    int port = 0, control = 0;
    try {
        port = front.start();
        if (controlPort >= 0)
            control = front.startControl(controlPort);
    } catch (const std::exception& e) {
        throw Failure{3, e.what()};
    }
    // The one line a test waits for before it sends anything.
    out << "tcserver ready port=" << port;
    if (controlPort >= 0)
        out << " control=" << control;
    out << std::endl;

    int signal = 0;
    sigwait(&stopSignals, &signal);
    front.stop();
    return 0;
}

} // namespace

int TcserverTool::run(const std::vector<std::string>& original, std::istream& in, std::ostream& out,
                      std::ostream& err)
{
    std::vector<std::string> args = original;
    std::string dbPath = "tcserver.db";
    try {
        // --db may stand anywhere.
        for (size_t i = 0; i < args.size();) {
            if (args[i] == "--db") {
                dbPath = value(args, i);
                args.erase(args.begin() + static_cast<std::ptrdiff_t>(i - 1),
                           args.begin() + static_cast<std::ptrdiff_t>(i + 1));
                i -= 1;
            } else {
                ++i;
            }
        }
        if (args.empty())
            throw Failure{1, Usage};
        const std::string command = args[0];
        args.erase(args.begin());
        if (command == "serve")
            return serveCommand(dbPath, args, out);
        if (command != "user" && command != "day" && command != "profile" && command != "org" &&
            command != "enroll")
            throw Failure{1, Usage};
        ServerDatabase db(dbPath);
        if (command == "user") {
            if (args.empty())
                throw Failure{1, Usage};
            return userCommand(db, args, in, out);
        }
        if (command == "profile")
            return profileCommand(db, args, out);
        if (command == "org")
            return orgCommand(db, args, out);
        if (command == "enroll")
            return enrollCommand(db, args, out);
        return dayCommand(db, args, out);
    } catch (const Failure& f) {
        err << "tcserver: " << f.text << (f.text.back() == '\n' ? "" : "\n");
        return f.code;
    } catch (const std::exception& e) {
        err << "tcserver: " << e.what() << "\n";
        return 3;
    }
}
