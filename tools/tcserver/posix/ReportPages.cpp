#include "tools/tcserver/posix/ReportPages.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "base/ByteArray.h"
#include "shared/server/SecurityDevice.h"
#include "tools/tcserver/posix/DayTimeline.h"
#include "tools/tcserver/posix/ServerDatabase.h"
#include "tools/tcserver/posix/ServerText.h"
#include "tools/tcserver/posix/TcServer.h"

namespace {

const char* const SummaryPath = "/Reports/General/UserSummary.aspx";

std::string param(const ReportPages::Query& query, const std::string& name)
{
    auto it = query.find(name);
    return it == query.end() ? std::string() : it->second;
}

// Names and documents are the users' data; they go into the page as text.
std::string html(const std::wstring& text)
{
    std::string out;
    for (char c : ServerText::utf8(text)) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string duration(int64_t seconds)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return buffer;
}

std::string colourOf(const DaySegment& s)
{
    if (s.state == L"Locked")
        return "#777777";
    if (s.state == L"Idle")
        return "#bbbbbb";
    if (s.state == L"Meeting")
        return "#d9822b";
    if (s.state == L"Phone call")
        return "#8e44ad";
    if (s.state == L"Personal time")
        return "#16a085";
    // One stable colour per application.
    uint32_t h = 2166136261u;
    for (wchar_t c : s.application)
        h = (h ^ static_cast<uint32_t>(c)) * 16777619u;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "hsl(%u,60%%,45%%)", h % 360);
    return buffer;
}

bool constantTimeEqual(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

std::string page(const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head>\n<body>\n<h1>" + title + "</h1>\n" + body + "</body></html>\n";
}

} // namespace

ReportPages::ReportPages(ServerDatabase& db, Clock clock) : m_db(db), m_clock(std::move(clock)) {}

ReportPages::Response ReportPages::refused(int status, const std::string& why)
{
    Response r;
    r.status = status;
    r.body = page("Not signed in", "<p>" + why + "</p>\n");
    return r;
}

ReportPages::Response ReportPages::autoLogin(const Query& query)
{
    const std::string uidText = param(query, "uid"), dt = param(query, "dt"), unidText = param(query, "unid"),
                      token = param(query, "token");
    char* end = nullptr;
    const long uid = std::strtol(uidText.c_str(), &end, 10);
    if (uidText.empty() || *end != '\0' || uid < 1 || uid > INT32_MAX)
        return refused(403, "The sign-in link names no user.");
    const unsigned long long unid = std::strtoull(unidText.c_str(), &end, 10);
    if (unidText.empty() || *end != '\0' || unid > 0xFFFFFFFFull || unidText[0] == '-')
        return refused(403, "The sign-in link is damaged.");
    int64_t linkDay = 0;
    if (dt.size() != 8 ||
        !ServerText::parseDate(dt.substr(0, 4) + "-" + dt.substr(4, 2) + "-" + dt.substr(6, 2), linkDay))
        return refused(403, "The sign-in link is damaged.");
    int64_t today = 0;
    ServerText::parseDate(ServerText::date(m_clock()), today);
    // The link carries the client's local date; time zones put it up to a
    // day from the server's.
    if (linkDay < today - 86400 || linkDay > today + 86400)
        return refused(403, "The sign-in link has expired; open the reports from the client again.");

    const auto user = m_db.findUser(static_cast<int>(uid));
    if (!user || user->suspended)
        return refused(403, "The sign-in link is not valid.");
    ByteArray signedBytes(ServerText::wide(dt));
    signedBytes += static_cast<unsigned int>(unid);
    signedBytes += static_cast<int>(uid);
    const ByteArray hash(user->passwordHash.data(), static_cast<int32_t>(user->passwordHash.size()));
    std::unique_ptr<ByteArray> signature(SecurityDevice::signByteArray(signedBytes, hash));
    if (!constantTimeEqual(ServerText::base64(*signature), token))
        return refused(403, "The sign-in link is not valid.");

    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_used.insert({static_cast<int>(uid), dt, static_cast<uint32_t>(unid)}).second)
        return refused(403, "The sign-in link has been used already; open the reports from the client again.");
    ByteArray random = TcServer::randomChallenge();
    std::string session;
    for (int i = 0; i < random.getSize(); ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", random.getData()[i]);
        session += hex;
    }
    m_sessions[session] = static_cast<int>(uid);

    Response r;
    r.status = 302;
    // Only pages of this site: a link must not send the user elsewhere.
    const std::string target = param(query, "ReturnUrl");
    r.location = target.rfind("/Reports/", 0) == 0 && target.find("//") == std::string::npos ? target : SummaryPath;
    r.setCookie = std::string(CookieName) + "=" + session + "; Path=/; HttpOnly";
    r.body = page("Signed in", "<p><a href=\"" + r.location + "\">Continue</a></p>\n");
    return r;
}

int ReportPages::sessionUser(const std::string& cookieHeader)
{
    const std::string key = std::string(CookieName) + "=";
    size_t at = 0;
    while ((at = cookieHeader.find(key, at)) != std::string::npos) {
        if (at == 0 || cookieHeader[at - 1] == ' ' || cookieHeader[at - 1] == ';') {
            const size_t start = at + key.size();
            const std::string value = cookieHeader.substr(start, cookieHeader.find(';', start) - start);
            std::lock_guard<std::mutex> hold(m_lock);
            auto it = m_sessions.find(value);
            return it == m_sessions.end() ? -1 : it->second;
        }
        at += key.size();
    }
    return -1;
}

ReportPages::Response ReportPages::userSummary(const Query& query, const std::string& cookieHeader)
{
    const int userId = sessionUser(cookieHeader);
    const auto user = userId > 0 ? m_db.findUser(userId) : std::nullopt;
    if (!user)
        return refused(403, "Open the reports from the client to sign in.");
    const int64_t now = m_clock();
    int64_t dayStart = 0;
    const std::string date = param(query, "date");
    if (date.empty())
        ServerText::parseDate(ServerText::date(now), dayStart);
    else if (!ServerText::parseDate(date, dayStart))
        return refused(400, "Not a date (YYYY-MM-DD): " + html(ServerText::wide(date)));
    const int64_t dayEnd = dayStart + 86400;

    std::vector<DaySegment> segments = daySegments(m_db, userId, dayStart);
    // A stretch ends at the next message, at the end of the day, or now.
    auto endOf = [&](const DaySegment& s) { return std::min(s.to.value_or(std::min(now, dayEnd)), dayEnd); };

    const int width = 960, height = 40;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
                      std::to_string(height + 20) + "\" role=\"img\" aria-label=\"timeline\">\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) +
           "\" fill=\"#f4f4f4\"/>\n";
    std::map<std::wstring, int64_t> perApplication, perState;
    for (const DaySegment& s : segments) {
        const int64_t to = endOf(s);
        if (to <= s.from)
            continue;
        const double x = static_cast<double>(s.from - dayStart) * width / 86400.0;
        const double w = std::max(0.5, static_cast<double>(to - s.from) * width / 86400.0);
        char rect[160];
        std::snprintf(rect, sizeof rect, "<rect x=\"%.2f\" y=\"0\" width=\"%.2f\" height=\"%d\" fill=\"", x, w,
                      height);
        svg += rect + colourOf(s) + "\"><title>" + ServerText::clock(s.from) + "-" + ServerText::clock(to) + " " +
               html(s.application.empty() ? s.state : s.application) +
               (s.document.empty() ? "" : " - " + html(s.document)) + "</title></rect>\n";
        perState[s.state] += to - s.from;
        if (s.state == L"Active")
            perApplication[s.application.empty() ? L"(unknown)" : s.application] += to - s.from;
    }
    for (int h = 0; h <= 24; h += 3) {
        svg += "<text x=\"" + std::to_string(std::min(width - 20, h * width / 24)) + "\" y=\"" +
               std::to_string(height + 15) + "\" font-size=\"11\">" + (h < 10 ? "0" : "") + std::to_string(h) +
               ":00</text>\n";
    }
    svg += "</svg>\n";

    auto table = [](const char* heading, const std::map<std::wstring, int64_t>& totals, const char* id) {
        std::vector<std::pair<std::wstring, int64_t>> sorted(totals.begin(), totals.end());
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        std::string t = std::string("<h2>") + heading + "</h2>\n<table id=\"" + id +
                        "\">\n<tr><th>name</th><th>time</th></tr>\n";
        for (const auto& [name, seconds] : sorted)
            t += "<tr><td>" + html(name) + "</td><td>" + duration(seconds) + "</td></tr>\n";
        return t + "</table>\n";
    };
    std::string rows = "<h2>Timeline</h2>\n<table id=\"timeline\">\n<tr><th>from</th><th>to</th><th>application</th>"
                       "<th>document</th><th>state</th></tr>\n";
    for (const DaySegment& s : segments) {
        rows += "<tr><td>" + ServerText::clock(s.from) + "</td><td>" + ServerText::clock(endOf(s)) + "</td><td>" +
                html(s.application) + "</td><td>" + html(s.document) + "</td><td>" + html(s.state) + "</td></tr>\n";
    }
    rows += "</table>\n";

    Response r;
    r.body = page("Day of " + html(user->name) + ", " + ServerText::date(dayStart) + " (UTC)",
                  svg + table("Time per application", perApplication, "applications") +
                      table("Time per state", perState, "states") + rows +
                      "<p><a href=\"/Reports/Group/GroupList.aspx\">Groups</a></p>\n");
    return r;
}

ReportPages::Response ReportPages::groupList(const std::string& cookieHeader)
{
    const int userId = sessionUser(cookieHeader);
    const auto user = userId > 0 ? m_db.findUser(userId) : std::nullopt;
    if (!user)
        return refused(403, "Open the reports from the client to sign in.");
    const auto details = m_db.userDetails(userId);
    std::string body;
    if (!details || details->groups.empty()) {
        body = "<p>No directory groups are known for you.</p>\n";
    } else {
        // Members: the users whose reported groups include the same one (by
        // GUID, or by name when a group has no GUID).
        std::vector<std::pair<std::wstring, std::vector<std::wstring>>> members;
        for (const auto& group : details->groups)
            members.push_back({group.first, {}});
        for (const UserRecord& other : m_db.users()) {
            const auto theirs = m_db.userDetails(other.id);
            if (!theirs)
                continue;
            for (size_t i = 0; i < details->groups.size(); ++i) {
                const auto& mine = details->groups[i];
                const bool shared = std::any_of(theirs->groups.begin(), theirs->groups.end(), [&](const auto& g) {
                    return mine.second.empty() ? g.first == mine.first : g.second == mine.second;
                });
                if (shared)
                    members[i].second.push_back(other.name);
            }
        }
        body = "<table id=\"groups\">\n<tr><th>group</th><th>members</th></tr>\n";
        for (const auto& [name, names] : members) {
            std::string list;
            for (const auto& n : names)
                list += (list.empty() ? "" : ", ") + html(n);
            body += "<tr><td>" + html(name) + "</td><td>" + list + "</td></tr>\n";
        }
        body += "</table>\n";
    }
    Response r;
    r.body = page("Groups of " + html(user->name), body + "<p><a href=\"" + SummaryPath + "\">My day</a></p>\n");
    return r;
}
