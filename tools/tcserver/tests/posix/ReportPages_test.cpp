#include <gtest/gtest.h>

#include <httplib.h>

#include <memory>
#include <string>

#include "ServerTestSupport.h"
#include "shared/server/SecurityDevice.h"
#include "tools/tcserver/posix/HttpFront.h"
#include "tools/tcserver/posix/ReportPages.h"
#include "tools/tcserver/posix/ServerText.h"

using namespace servertest;

namespace {

// A sign-in link's parameters as the client makes them: the signature of the
// UTF-16 date text, the number and the user id under the password hash, in
// Base64 with "+", "/" and "=" escaped.
struct Link {
    int uid;
    std::string dt;
    uint32_t unid;
    std::string token;        // as the server decodes it
    std::string escapedToken; // as it stands in the address

    std::string address(const std::string& returnUrl = "%2fReports%2fGeneral%2fUserSummary.aspx") const
    {
        return "/Security/AutoLogin.aspx?uid=" + std::to_string(uid) + "&dt=" + dt + "&unid=" + std::to_string(unid) +
               "&token=" + escapedToken + "&ReturnUrl=" + returnUrl;
    }
    ReportPages::Query query(const std::string& returnUrl = "/Reports/General/UserSummary.aspx") const
    {
        return {{"uid", std::to_string(uid)}, {"dt", dt}, {"unid", std::to_string(unid)}, {"token", token},
                {"ReturnUrl", returnUrl}};
    }
};

Link makeLink(int uid, const std::wstring& password, const std::string& dt, uint32_t unid)
{
    ByteArray bytes(ServerText::wide(dt));
    bytes += static_cast<unsigned int>(unid);
    bytes += uid;
    std::unique_ptr<ByteArray> signature(SecurityDevice::signByteArray(bytes, SecurityDevice::computePasswordHash(password)));
    std::unique_ptr<ByteArray> text(SecurityDevice::base64(*signature));
    Link link{uid, dt, unid, std::string(reinterpret_cast<const char*>(text->getData()), static_cast<size_t>(text->getSize())), ""};
    for (char c : link.token) {
        if (c == '+')
            link.escapedToken += "%2B";
        else if (c == '/')
            link.escapedToken += "%2F";
        else if (c == '=')
            link.escapedToken += "%3D";
        else
            link.escapedToken += c;
    }
    return link;
}

class ReportPagesTest : public ::testing::Test {
protected:
    ServerFixture f;
    int aliceId = f.addUser(L"alice", L"pw");
    ReportPages pages{f.db(), [this] { return f.now; }};
    // f.now is 2026-05-28 20:26:40 UTC
    std::string today = "20260528";

    std::string cookieOf(const ReportPages::Response& r)
    {
        return r.setCookie.substr(0, r.setCookie.find(';'));
    }
    std::string signIn()
    {
        auto r = pages.autoLogin(makeLink(aliceId, L"pw", today, 77).query());
        EXPECT_EQ(302, r.status) << r.body;
        return cookieOf(r);
    }
};

TEST_F(ReportPagesTest, AGoodLinkSignsInAndLeadsToItsPage)
{
    auto r = pages.autoLogin(makeLink(aliceId, L"pw", today, 4000000000u).query("/Reports/Group/GroupList.aspx"));
    ASSERT_EQ(302, r.status) << r.body;
    EXPECT_EQ("/Reports/Group/GroupList.aspx", r.location);
    ASSERT_EQ(0u, r.setCookie.find("tcreports="));
    EXPECT_NE(std::string::npos, r.setCookie.find("HttpOnly"));
    EXPECT_EQ(200, pages.groupList(cookieOf(r)).status);
    EXPECT_EQ(200, pages.userSummary({}, "other=1; " + cookieOf(r)).status);
}

TEST_F(ReportPagesTest, BadLinksAreRefused)
{
    Link link = makeLink(aliceId, L"pw", today, 5);
    Link wrongPassword = makeLink(aliceId, L"guess", today, 5);
    EXPECT_EQ(403, pages.autoLogin(wrongPassword.query()).status);
    Link otherUser = link;
    otherUser.uid = f.addUser(L"bob", L"pw");
    EXPECT_EQ(403, pages.autoLogin(otherUser.query()).status) << "the id is part of what is signed";
    Link otherNumber = link;
    otherNumber.unid = 6;
    EXPECT_EQ(403, pages.autoLogin(otherNumber.query()).status);
    EXPECT_EQ(403, pages.autoLogin(makeLink(aliceId, L"pw", "20260526", 5).query()).status) << "two days old";
    EXPECT_EQ(403, pages.autoLogin(makeLink(aliceId, L"pw", "20260530", 5).query()).status) << "two days ahead";
    EXPECT_EQ(403, pages.autoLogin(makeLink(aliceId, L"pw", "2026-05-28", 5).query()).status);
    EXPECT_EQ(403, pages.autoLogin(makeLink(99, L"pw", today, 5).query()).status) << "no such user";
    EXPECT_EQ(403, pages.autoLogin({}).status);
    // The refused copies did not use the good link up.
    EXPECT_EQ(302, pages.autoLogin(link.query()).status);
}

TEST_F(ReportPagesTest, ALinkOfYesterdayOrTomorrowIsAcceptedForTheTimeZones)
{
    EXPECT_EQ(302, pages.autoLogin(makeLink(aliceId, L"pw", "20260527", 1).query()).status);
    EXPECT_EQ(302, pages.autoLogin(makeLink(aliceId, L"pw", "20260529", 1).query()).status);
}

TEST_F(ReportPagesTest, ALinkServesOnce)
{
    Link link = makeLink(aliceId, L"pw", today, 9);
    EXPECT_EQ(302, pages.autoLogin(link.query()).status);
    EXPECT_EQ(403, pages.autoLogin(link.query()).status);
}

TEST_F(ReportPagesTest, ASuspendedUserIsNotSignedIn)
{
    f.db().setSuspended(L"alice", true);
    EXPECT_EQ(403, pages.autoLogin(makeLink(aliceId, L"pw", today, 9).query()).status);
}

TEST_F(ReportPagesTest, ReturnAddressesLeadOnlyToThisSitesReports)
{
    EXPECT_EQ("/Reports/General/UserSummary.aspx",
              pages.autoLogin(makeLink(aliceId, L"pw", today, 1).query("http://elsewhere.example/")).location);
    EXPECT_EQ("/Reports/General/UserSummary.aspx",
              pages.autoLogin(makeLink(aliceId, L"pw", today, 2).query("/Reports//elsewhere.example")).location);
}

TEST_F(ReportPagesTest, PagesWithoutASessionAreRefused)
{
    EXPECT_EQ(403, pages.userSummary({}, "").status);
    EXPECT_EQ(403, pages.userSummary({}, "tcreports=0123").status);
    EXPECT_EQ(403, pages.groupList("xtcreports=" + signIn().substr(10)).status);
}

TEST_F(ReportPagesTest, TheDayShowsATimelineAndTheTimePerApplicationAndState)
{
    int64_t day = 0;
    ASSERT_TRUE(ServerText::parseDate("2026-05-27", day));
    auto client = f.loggedOn(L"alice", L"pw");
    f.now = day + 9 * 3600;
    const int writer = intOf(*client->sendSecure(longApplicationChange(L"C:\\Apps\\writer.exe", L"<b>plan</b>")),
                             L"ApplicationID");
    f.now += 1800;
    client->sendSecure(stateChange(L"SystemStateLocked"));
    f.now += 600;
    client->sendSecure(shortApplicationChange(writer, L"notes.doc"));
    f.now += 900;
    client->sendSecure(shortApplicationChange(ServerDatabase::PhoneApplicationId, L"call"));
    f.now += 300;
    client->sendSecure(stateChange(L"SystemStateIdle"));
    f.now = day + 86400 + 3600; // the next day
    const std::string cookie = signIn();

    auto r = pages.userSummary({{"date", "2026-05-27"}}, cookie);
    ASSERT_EQ(200, r.status);
    const std::string& b = r.body;
    EXPECT_NE(std::string::npos, b.find("<svg"));
    EXPECT_EQ(5u, [&] {
        size_t n = 0;
        for (size_t at = b.find("<rect x=\""); at != std::string::npos; at = b.find("<rect x=\"", at + 1))
            ++n;
        return n - 1; // the background
    }());
    // Writer 30 + 15 minutes; the idle stretch runs to the end of the day.
    EXPECT_NE(std::string::npos, b.find("Writer</td><td class=\"num\">0:45:00</td>"));
    EXPECT_NE(std::string::npos, b.find("Locked</td><td class=\"num\">0:10:00</td>"));
    EXPECT_NE(std::string::npos, b.find("Phone call</td><td class=\"num\">0:05:00</td>"));
    EXPECT_NE(std::string::npos, b.find("Idle</td><td class=\"num\">14:00:00</td>"));
    // A document name is shown as text, never as markup.
    EXPECT_EQ(std::string::npos, b.find("<b>plan</b>"));
    EXPECT_NE(std::string::npos, b.find("&lt;b&gt;plan&lt;/b&gt;"));

    EXPECT_EQ(400, pages.userSummary({{"date", "yesterday"}}, cookie).status);
    auto empty = pages.userSummary({{"date", "2026-05-20"}}, cookie);
    EXPECT_EQ(200, empty.status);
    EXPECT_EQ(std::string::npos, empty.body.find("Writer"));
    EXPECT_NE(std::string::npos, empty.body.find("nothing recorded on this day"));
}

TEST_F(ReportPagesTest, AShortDayFillsTheTimelineOnWholeTicks)
{
    int64_t day = 0;
    ASSERT_TRUE(ServerText::parseDate("2026-05-27", day));
    auto client = f.loggedOn(L"alice", L"pw");
    f.now = day + 9 * 3600 + 60;
    const int writer = intOf(*client->sendSecure(longApplicationChange(L"C:\\Apps\\writer.exe", L"plan")),
                             L"ApplicationID");
    f.now += 240;
    client->sendSecure(shortApplicationChange(writer, L"notes.doc"));
    f.now += 240; // 09:09:00; the last stretch runs to now
    ASSERT_EQ(ServerText::date(f.now), "2026-05-27");
    const std::string cookie = signIn();

    auto r = pages.userSummary({}, cookie);
    ASSERT_EQ(200, r.status);
    // 09:01 to 09:09 lies on the minute ticks of 09:01 to 09:09.
    EXPECT_NE(std::string::npos, r.body.find("Timeline, 09:01 to 09:09 (UTC)")) << r.body;
    // Each four-minute stretch takes half of the 920 points of the bar.
    EXPECT_NE(std::string::npos, r.body.find("<rect x=\"24.00\" y=\"0\" width=\"460.00\""));
    EXPECT_NE(std::string::npos, r.body.find("<rect x=\"484.00\" y=\"0\" width=\"460.00\""));
    EXPECT_NE(std::string::npos, r.body.find("0:08:00 recorded, 0:08:00 active"));
    // Today has no next day yet; the previous one is a link.
    EXPECT_NE(std::string::npos, r.body.find("?date=2026-05-26"));
    EXPECT_EQ(std::string::npos, r.body.find("?date=2026-05-28"));
}

TEST_F(ReportPagesTest, SecondsOfActivityGetTicksWithSeconds)
{
    int64_t day = 0;
    ASSERT_TRUE(ServerText::parseDate("2026-05-27", day));
    auto client = f.loggedOn(L"alice", L"pw");
    f.now = day + 9 * 3600 + 3;
    client->sendSecure(longApplicationChange(L"C:\\Apps\\writer.exe", L"plan"));
    f.now += 25; // 09:00:28
    const std::string cookie = signIn();

    auto r = pages.userSummary({}, cookie);
    ASSERT_EQ(200, r.status);
    EXPECT_NE(std::string::npos, r.body.find("Timeline, 09:00:00 to 09:00:30 (UTC)")) << r.body;
    EXPECT_NE(std::string::npos, r.body.find(">09:00:10</text>"));
    EXPECT_NE(std::string::npos, r.body.find("0:00:25 recorded"));
}

TEST_F(ReportPagesTest, TheGroupListShowsWhoElseIsInEachGroup)
{
    const int bob = f.addUser(L"bob", L"pw");
    const int carol = f.addUser(L"carol", L"pw");
    UserDetailsRecord a, b, c;
    a.groups = {{L"Sales", L"{1}"}, {L"Staff", L"{2}"}};
    b.groups = {{L"Sales renamed", L"{1}"}};
    c.groups = {{L"Staff", L"{3}"}};
    f.db().setUserDetails(aliceId, a);
    f.db().setUserDetails(bob, b);
    f.db().setUserDetails(carol, c);
    auto r = pages.groupList(signIn());
    ASSERT_EQ(200, r.status);
    EXPECT_NE(std::string::npos, r.body.find("<tr><td>Sales</td><td>alice, bob</td></tr>"));
    EXPECT_NE(std::string::npos, r.body.find("<tr><td>Staff</td><td>alice</td></tr>"));
}

TEST_F(ReportPagesTest, TheLinkAsTheClientWritesItWorksOverHttp)
{
    HttpOptions options;
    options.port = 0;
    HttpFront front(f.server(), f.faults(), options, &pages);
    const int port = front.start();
    // Find a number whose token needs escaping, as a real link often does.
    Link link = makeLink(aliceId, L"pw", today, 1);
    for (uint32_t n = 2; link.escapedToken == link.token; ++n)
        link = makeLink(aliceId, L"pw", today, n);
    httplib::Client http("127.0.0.1", port);
    auto signedIn = http.Get(link.address().c_str());
    ASSERT_TRUE(signedIn);
    ASSERT_EQ(302, signedIn->status) << signedIn->body;
    EXPECT_EQ("/Reports/General/UserSummary.aspx", signedIn->get_header_value("Location"));
    const std::string cookie = signedIn->get_header_value("Set-Cookie");
    auto summary = http.Get("/Reports/General/UserSummary.aspx", {{"Cookie", cookie.substr(0, cookie.find(';'))}});
    ASSERT_TRUE(summary);
    EXPECT_EQ(200, summary->status);
    EXPECT_NE(std::string::npos, summary->body.find("Day of alice"));
    front.stop();
}

} // namespace
