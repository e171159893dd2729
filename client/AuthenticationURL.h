#pragma once
#include <cstdint>
#include <functional>
#include <string>

class TavelinSessionDetails;

// The address that opens the reports web pages already signed in: the
// server checks the token, a signature over the date, a random number and
// the user id made with the user's password hash, so the link is good for
// that user and that day only.
class AuthenticationURL {
public:
    // The signed sign-in address of the user's summary (group false) or the
    // group list (group true). Without a logged-on user, a user id or a
    // password hash, and whenever signing fails (traced as 1190201), the
    // plain page address instead. Never throws.
    static std::wstring generate(const TavelinSessionDetails& session,
                                 const std::wstring& reportsAddress, bool group);

    // What generate draws on, replaceable by tests: the local date as
    // "YYYYMMDD" and the 32-bit random number of the link.
    struct Sources {
        std::function<std::wstring()> date;
        std::function<uint32_t()> number;
    };
    static std::wstring generate(const TavelinSessionDetails& session,
                                 const std::wstring& reportsAddress, bool group,
                                 const Sources& sources);

    // The page address without signing: the reports address with a "/"
    // added when it has none at its end (the web server address when it is
    // empty), then the page.
    static std::wstring plainAddress(const std::wstring& reportsAddress, bool group);
    // "+" "/" "=" as "%2B" "%2F" "%3D"; every other character as it is.
    static std::wstring escapeToken(const std::wstring& base64);
    // "http://" + the machine value "WebServer" + "/", read once per
    // process; the maker's web host when the value is not set.
    static std::wstring webServerAddress();
    // The maker's public web site, for the about box and help pages.
    static const wchar_t* const MakerSite; // ends in "/"

    // The standard sources: today's local date, and two calls of rand()
    // (seeded once per process with the time) for the low and high halves.
    static Sources standardSources();

private:
    // Operating-system half, in win32/ and posix/AuthenticationURL.cpp: the
    // local date as year, month and day.
    static void localDate(int& year, int& month, int& day);
};
