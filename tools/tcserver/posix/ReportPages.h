#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <tuple>

class ServerDatabase;

// The reports web pages of the reference server, plain HTML with an SVG
// timeline, independent of HTTP:
//   /Security/AutoLogin.aspx?uid=&dt=&unid=&token=&ReturnUrl=
//       the client's signed sign-in link: checked, and answered with a
//       session cookie and a redirection to ReturnUrl
//   /Reports/General/UserSummary.aspx[?date=YYYY-MM-DD]
//       the signed-in user's day: timeline, time per application and per state
//   /Reports/Group/GroupList.aspx
//       the signed-in user's directory groups with the users in each
//
// A sign-in link is good when its token is the Base64 signature (under the
// user's password hash) of the UTF-16 date text, the number and the user id
// the link names; its date is the client's local date and must be no more
// than a day from the server's (UTC) date; and it has not been used before.
class ReportPages {
public:
    using Clock = std::function<int64_t()>;
    using Query = std::multimap<std::string, std::string>; // decoded parameters

    struct Response {
        int status = 200;
        std::string contentType = "text/html; charset=utf-8";
        std::string body;
        std::string location;  // for a redirection
        std::string setCookie; // a Set-Cookie value
    };

    static constexpr const char* CookieName = "tcreports";

    ReportPages(ServerDatabase& db, Clock clock);

    Response autoLogin(const Query& query);
    // cookieHeader: the request's Cookie header.
    Response userSummary(const Query& query, const std::string& cookieHeader);
    Response groupList(const std::string& cookieHeader);

private:
    int sessionUser(const std::string& cookieHeader); // -1: not signed in
    static Response refused(int status, const std::string& why);

    ServerDatabase& m_db;
    Clock m_clock;
    std::mutex m_lock;
    std::map<std::string, int> m_sessions;                    // cookie value -> user id
    std::set<std::tuple<int, std::string, uint32_t>> m_used; // links already used
};
