#include "client/AuthenticationURL.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/ByteArray.h"
#include "base/Exception.h"
#include "shared/server/SecurityDevice.h"
#include "shared/server/TavelinSessionDetails.h"
#include "testsupport/EventCapture.h"

namespace {

using Status = TavelinSessionDetails::ConnectionStatus;

// The value of one query parameter, empty when absent.
std::wstring param(const std::wstring& url, const std::wstring& name)
{
    size_t query = url.find(L'?');
    if (query == std::wstring::npos)
        return std::wstring();
    std::wstring rest = L"&" + url.substr(query + 1) + L"&";
    size_t at = rest.find(L"&" + name + L"=");
    if (at == std::wstring::npos)
        return std::wstring();
    size_t start = at + name.size() + 2;
    return rest.substr(start, rest.find(L'&', start) - start);
}

std::wstring unescape(const std::wstring& token)
{
    std::wstring out;
    for (size_t i = 0; i < token.size(); ++i) {
        if (token[i] == L'%' && i + 2 < token.size()) {
            std::wstring code = token.substr(i + 1, 2);
            out += code == L"2B" ? L'+' : code == L"2F" ? L'/' : code == L"3D" ? L'=' : L'?';
            i += 2;
        } else {
            out += token[i];
        }
    }
    return out;
}

class AuthenticationURLTest : public ::testing::Test {
protected:
    AuthenticationURLTest()
    {
        session.setUserID(42);
        session.setConnectionStatus(Status::Connected);
        session.setUserPasswordHash(SecurityDevice::computePasswordHash(L"secret"));
    }
    AuthenticationURL::Sources fixed(uint32_t number)
    {
        AuthenticationURL::Sources s;
        s.date = [] { return std::wstring(L"20261208"); };
        s.number = [number] { return number; };
        return s;
    }
    // The signature the server expects, from bytes laid out by hand: the
    // date's UTF-16LE code units, the number and the user id, each four
    // bytes least significant first.
    std::wstring expectedBase64(const std::wstring& date, uint32_t number, uint32_t uid)
    {
        std::string raw;
        for (wchar_t c : date) {
            raw += static_cast<char>(c & 0xFF);
            raw += static_cast<char>((c >> 8) & 0xFF);
        }
        for (uint32_t v : {number, uid})
            for (int i = 0; i < 4; ++i)
                raw += static_cast<char>((v >> (8 * i)) & 0xFF);
        ByteArray bytes(raw.data(), static_cast<int32_t>(raw.size()));
        std::unique_ptr<ByteArray> sig(
            SecurityDevice::signByteArray(bytes, session.getUserPasswordHash()));
        std::unique_ptr<ByteArray> text(SecurityDevice::base64(*sig));
        return text->a2w();
    }

    TavelinSessionDetails session;
};

TEST_F(AuthenticationURLTest, SignedLinkCarriesUserDateNumberTokenAndReturnPage)
{
    std::wstring url =
        AuthenticationURL::generate(session, L"http://r.test/", false, fixed(3000000000u));
    EXPECT_EQ(
        0u, url.find(
                L"http://r.test/Security/AutoLogin.aspx?uid=42&dt=20261208&unid=3000000000&token="))
        << url;
    EXPECT_EQ(L"%2fReports%2fGeneral%2fUserSummary.aspx", param(url, L"ReturnUrl"));
    EXPECT_EQ(expectedBase64(L"20261208", 3000000000u, 42), unescape(param(url, L"token")));

    std::wstring group = AuthenticationURL::generate(session, L"http://r.test/", true, fixed(7));
    EXPECT_EQ(L"%2fReports%2fGroup%2fGroupList.aspx", param(group, L"ReturnUrl"));
}

TEST_F(AuthenticationURLTest, SignatureCharactersAreEscaped)
{
    // Look for numbers whose signatures hold "+" and "/"; "=" ends every one
    // (20 bytes make 28 characters with one padding character).
    bool sawPlus = false, sawSlash = false;
    for (uint32_t n = 1; n < 400 && !(sawPlus && sawSlash); ++n) {
        std::wstring url = AuthenticationURL::generate(session, L"http://r.test/", false, fixed(n));
        std::wstring token = param(url, L"token");
        std::wstring raw = expectedBase64(L"20261208", n, 42);
        EXPECT_EQ(std::wstring::npos, token.find_first_of(L"+/=")) << token;
        EXPECT_NE(std::wstring::npos, token.find(L"%3D")) << token;
        if (raw.find(L'+') != std::wstring::npos) {
            sawPlus = true;
            EXPECT_NE(std::wstring::npos, token.find(L"%2B")) << token;
        }
        if (raw.find(L'/') != std::wstring::npos) {
            sawSlash = true;
            EXPECT_NE(std::wstring::npos, token.find(L"%2F")) << token;
        }
        EXPECT_EQ(raw, unescape(token));
    }
    EXPECT_TRUE(sawPlus && sawSlash);
    EXPECT_EQ(L"a%2Bb%2Fc%3D%3D", AuthenticationURL::escapeToken(L"a+b/c=="));
}

TEST_F(AuthenticationURLTest, WithoutUserOrHashOrLogonThePlainPageAddress)
{
    session.setUserID(0);
    EXPECT_EQ(L"http://r.test/Reports/General/UserSummary.aspx",
              AuthenticationURL::generate(session, L"http://r.test", false, fixed(1)));
    session.setUserID(42);
    session.setUserPasswordHash(ByteArray());
    EXPECT_EQ(L"http://r.test/Reports/Group/GroupList.aspx",
              AuthenticationURL::generate(session, L"http://r.test/", true, fixed(1)));
    session.setUserPasswordHash(SecurityDevice::computePasswordHash(L"secret"));
    session.setConnectionStatus(Status::Connecting);
    EXPECT_EQ(L"http://r.test/Reports/General/UserSummary.aspx",
              AuthenticationURL::generate(session, L"http://r.test", false, fixed(1)));
}

TEST_F(AuthenticationURLTest, AddressWithoutSlashIsGluedToTheSignedPageAsGiven)
{
    std::wstring url = AuthenticationURL::generate(session, L"http://r.test", false, fixed(5));
    EXPECT_EQ(0u, url.find(L"http://r.testSecurity/AutoLogin.aspx?uid=42&")) << url;
}

TEST_F(AuthenticationURLTest, EmptyReportsAddressFallsBackToTheWebServer)
{
    session.setUserID(-1);
    EXPECT_EQ(AuthenticationURL::webServerAddress() + L"Reports/General/UserSummary.aspx",
              AuthenticationURL::generate(session, L"", false, fixed(1)));
    EXPECT_EQ(L"http://", AuthenticationURL::webServerAddress().substr(0, 7));
    EXPECT_EQ(L'/', AuthenticationURL::webServerAddress().back());
}

TEST_F(AuthenticationURLTest, TwoLinksInOneSecondDifferInTheirNumber)
{
    std::wstring first = AuthenticationURL::generate(session, L"http://r.test/", false);
    std::wstring second = AuthenticationURL::generate(session, L"http://r.test/", false);
    EXPECT_EQ(param(first, L"dt"), param(second, L"dt"));
    EXPECT_EQ(8u, param(first, L"dt").size());
    EXPECT_NE(param(first, L"unid"), param(second, L"unid"));
    EXPECT_NE(param(first, L"token"), param(second, L"token"));
}

TEST_F(AuthenticationURLTest, ASignerFailureGivesThePlainAddressAndIsTraced)
{
    testsupport::EventRecorder recorder;
    AuthenticationURL::Sources s = fixed(1);
    s.number = []() -> uint32_t { throw Exception(1190299, L"no number", TC_AT(L"test")); };
    EXPECT_EQ(L"http://r.test/Reports/General/UserSummary.aspx",
              AuthenticationURL::generate(session, L"http://r.test", false, s));
    testsupport::CapturedEvent e = recorder.find(1190201);
    EXPECT_EQ(L"Unexpected Exception generating AuthorisationURL", e.description);
    EXPECT_EQ(1190299, e.exceptionId);
    EXPECT_FALSE(e.logged);
}

} // namespace
