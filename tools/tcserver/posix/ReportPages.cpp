#include "tools/tcserver/posix/ReportPages.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
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

// The declared and system states have fixed colours; applications take
// distinct colours in the order they first appear on the page.
std::string stateColour(const std::wstring& state)
{
    if (state == L"Locked")
        return "#6f7780";
    if (state == L"Idle")
        return "#b9c0c8";
    if (state == L"Meeting")
        return "#e08a2c";
    if (state == L"Phone call")
        return "#9b59b6";
    if (state == L"Personal time")
        return "#16a085";
    return "#3d7dca";
}

class ApplicationColours {
public:
    std::string operator()(const DaySegment& s)
    {
        if (s.state != L"Active")
            return stateColour(s.state);
        static const char* const palette[] = {"#3d7dca", "#d1495b", "#2a9d8f", "#edae49", "#6a4c93",
                                              "#00798c", "#c46d27", "#8ab17d", "#b5179e", "#577590"};
        auto found = m_given.find(s.application);
        if (found == m_given.end())
            found = m_given.emplace(s.application, palette[m_given.size() % std::size(palette)]).first;
        return found->second;
    }

private:
    std::map<std::wstring, std::string> m_given;
};

bool constantTimeEqual(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

// One look for every page: plain HTML with a small style sheet, readable
// without it, no script.
const char* const Style = R"(<style>
body{margin:0;font:15px/1.45 system-ui,"Segoe UI","DejaVu Sans",Arial,sans-serif;color:#1d2733;background:#f3f5f8}
header{background:#1f3a5f;color:#fff;padding:14px 28px}
header h1{margin:0;font-size:22px;font-weight:600}
header p{margin:2px 0 0;color:#c9d6e6;font-size:13px}
main{max-width:1000px;margin:0 auto;padding:8px 24px 32px}
section{background:#fff;border:1px solid #dde3ea;border-radius:6px;padding:12px 18px;margin:16px 0}
h2{font-size:16px;margin:0 0 8px;color:#1f3a5f}
table{border-collapse:collapse;width:100%}
th{text-align:left;font-weight:600;color:#51606f;border-bottom:2px solid #dde3ea;padding:5px 8px}
td{padding:4px 8px;border-bottom:1px solid #eef1f4;vertical-align:top}
tr:nth-child(even) td{background:#f8fafc}
td.num,th.num{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
.swatch{display:inline-block;width:11px;height:11px;border-radius:2px;margin-right:7px;vertical-align:-1px}
.pair{display:flex;gap:16px;flex-wrap:wrap}.pair section{flex:1 1 300px}
nav{margin:12px 0 0;font-size:14px}nav a{color:#1f5fa8;margin-right:14px}
.empty{color:#6b7885;font-style:italic}
</style>)";

std::string page(const std::string& title, const std::string& subtitle, const std::string& body)
{
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + title +
           "</title>\n" + Style + "</head>\n<body>\n<header><h1>" + title + "</h1>" +
           (subtitle.empty() ? "" : "<p>" + subtitle + "</p>") + "</header>\n<main>\n" + body +
           "</main>\n</body></html>\n";
}

std::string swatch(const std::string& colour)
{
    return "<span class=\"swatch\" style=\"background:" + colour + "\"></span>";
}

// Tick spacing for a stretch of time: about six to twelve ticks.
int64_t tickStep(int64_t span)
{
    for (int64_t step : {10, 15, 30, 60, 300, 600, 900, 1800, 3600, 7200, 10800})
        if (span / step <= 12)
            return step;
    return 10800;
}

} // namespace

ReportPages::ReportPages(ServerDatabase& db, Clock clock) : m_db(db), m_clock(std::move(clock)) {}

ReportPages::Response ReportPages::refused(int status, const std::string& why)
{
    Response r;
    r.status = status;
    r.body = page("Not signed in", "Ondrivex reports", "<section><p>" + why + "</p></section>\n");
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
    r.body = page("Signed in", "Ondrivex reports", "<section><p><a href=\"" + r.location + "\">Continue</a></p></section>\n");
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

    // The timeline spans the recorded part of the day, on whole ticks, so
    // that a short day is not a sliver of a 24-hour bar.
    int64_t first = dayEnd, last = dayStart;
    for (const DaySegment& s : segments) {
        if (endOf(s) > s.from) {
            first = std::min(first, s.from);
            last = std::max(last, endOf(s));
        }
    }
    int64_t spanStart = dayStart, spanEnd = dayEnd;
    if (first < last) {
        const int64_t step = tickStep(last - first);
        spanStart = dayStart + (first - dayStart) / step * step;
        spanEnd = std::min(dayEnd, dayStart + (last - dayStart + step - 1) / step * step);
    }
    const int64_t span = spanEnd - spanStart, step = tickStep(span);
    // Minutes on the ticks, seconds too when the ticks are closer.
    auto tickText = [&](int64_t t) {
        return t == dayEnd ? std::string("24:00") : ServerText::clock(t).substr(0, step < 60 ? 8 : 5);
    };

    const int left = 24, width = 920, height = 44;
    auto xOf = [&](int64_t t) { return left + static_cast<double>(t - spanStart) * width / static_cast<double>(span); };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width + 2 * left) +
                      "\" height=\"" + std::to_string(height + 24) + "\" role=\"img\" aria-label=\"timeline\">\n";
    svg += "<rect x=\"" + std::to_string(left) + "\" y=\"0\" width=\"" + std::to_string(width) + "\" height=\"" +
           std::to_string(height) + "\" fill=\"#eef1f4\"/>\n";
    std::map<std::wstring, int64_t> perApplication, perState;
    std::map<std::wstring, std::string> applicationColour, stateColours;
    ApplicationColours colourOf;
    for (const DaySegment& s : segments) {
        const int64_t to = endOf(s);
        if (to <= s.from)
            continue;
        const double x = xOf(s.from);
        const double w = std::max(1.0, xOf(to) - x);
        char rect[160];
        std::snprintf(rect, sizeof rect, "<rect x=\"%.2f\" y=\"0\" width=\"%.2f\" height=\"%d\" fill=\"", x, w,
                      height);
        svg += rect + colourOf(s) + "\"><title>" + ServerText::clock(s.from) + "-" + ServerText::clock(to) + " " +
               html(s.application.empty() ? s.state : s.application) +
               (s.document.empty() ? "" : " - " + html(s.document)) + "</title></rect>\n";
        perState[s.state] += to - s.from;
        stateColours[s.state] = stateColour(s.state);
        if (s.state == L"Active") {
            const std::wstring name = s.application.empty() ? L"(unknown)" : s.application;
            perApplication[name] += to - s.from;
            applicationColour[name] = colourOf(s);
        }
    }
    for (int64_t t = spanStart; t <= spanEnd; t += step) {
        char tick[200];
        const double x = xOf(t);
        std::snprintf(tick, sizeof tick,
                      "<line x1=\"%.2f\" y1=\"0\" x2=\"%.2f\" y2=\"%d\" stroke=\"#9aa7b4\" stroke-width=\"1\"/>"
                      "<text x=\"%.2f\" y=\"%d\" font-size=\"11\" fill=\"#51606f\" text-anchor=\"middle\">",
                      x, x, height + 4, x, height + 17);
        svg += tick + tickText(t) + "</text>\n";
    }
    svg += "</svg>\n";

    const int64_t recorded = [&] {
        int64_t total = 0;
        for (const auto& entry : perState)
            total += entry.second;
        return total;
    }();
    auto table = [&](const char* heading, const std::map<std::wstring, int64_t>& totals,
                     const std::map<std::wstring, std::string>& colours, const char* id) {
        std::vector<std::pair<std::wstring, int64_t>> sorted(totals.begin(), totals.end());
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        std::string t = std::string("<section><h2>") + heading + "</h2>\n<table id=\"" + id +
                        "\">\n<tr><th>name</th><th class=\"num\">time</th><th class=\"num\">share</th></tr>\n";
        for (const auto& [name, seconds] : sorted) {
            char share[16];
            std::snprintf(share, sizeof share, "%.0f%%", recorded > 0 ? 100.0 * seconds / recorded : 0.0);
            t += "<tr><td>" + swatch(colours.at(name)) + html(name) + "</td><td class=\"num\">" + duration(seconds) +
                 "</td><td class=\"num\">" + share + "</td></tr>\n";
        }
        if (sorted.empty())
            t += "<tr><td class=\"empty\" colspan=\"3\">nothing recorded</td></tr>\n";
        return t + "</table></section>\n";
    };
    std::string rows = "<section><h2>Stretches</h2>\n<table id=\"timeline\">\n<tr><th>from</th><th>to</th>"
                       "<th class=\"num\">length</th><th>application</th><th>document</th><th>state</th></tr>\n";
    for (const DaySegment& s : segments) {
        const int64_t to = endOf(s);
        rows += "<tr><td>" + ServerText::clock(s.from) + "</td><td>" + ServerText::clock(to) +
                "</td><td class=\"num\">" + duration(std::max<int64_t>(0, to - s.from)) + "</td><td>" +
                html(s.application) + "</td><td>" + html(s.document) + "</td><td>" + html(s.state) + "</td></tr>\n";
    }
    if (segments.empty())
        rows += "<tr><td class=\"empty\" colspan=\"6\">nothing recorded on this day</td></tr>\n";
    rows += "</table></section>\n";

    const std::string nav = "<nav><a href=\"" + std::string(SummaryPath) + "?date=" +
                            ServerText::date(dayStart - 86400) + "\">&#8249; previous day</a>" +
                            (dayEnd <= now ? "<a href=\"" + std::string(SummaryPath) + "?date=" +
                                                 ServerText::date(dayEnd) + "\">next day &#8250;</a>"
                                           : std::string()) +
                            "<a href=\"/Reports/Group/GroupList.aspx\">groups</a></nav>\n";
    const std::string timeline = "<section><h2>Timeline, " + tickText(spanStart) + " to " + tickText(spanEnd) +
                                 " (UTC)</h2>\n" + svg + "</section>\n";

    const auto active = perState.find(L"Active");
    const std::string summary = duration(recorded) + " recorded, " +
                                duration(active == perState.end() ? 0 : active->second) + " active";
    Response r;
    r.body = page("Day of " + html(user->name) + ", " + ServerText::date(dayStart) + " (UTC)", summary, nav + timeline +
                      "<div class=\"pair\">" + table("Time per application", perApplication, applicationColour,
                                                      "applications") +
                      table("Time per state", perState, stateColours, "states") + "</div>\n" + rows);
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
    r.body = page("Groups of " + html(user->name), "Ondrivex reports",
                  "<nav><a href=\"" + std::string(SummaryPath) + "\">my day</a></nav>\n<section>" + body + "</section>\n");
    return r;
}
