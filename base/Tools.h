#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Small static helpers: strings, names and per-user object names.
class Tools {
public:
    // Strips every run of \ tab / . blank : ; from the end, then from the start.
    static std::wstring cleanString(const std::wstring& text);
    static void stringToUpper(std::wstring& text); // ASCII letters only
    static void stringToLower(std::wstring& text);
    static std::wstring widenNarrowString(const std::string& narrow); // UTF-8 to UTF-16
    static std::string narrowWideString(const std::wstring& wide);    // UTF-16 to UTF-8
    // The maximal runs of characters not in delimiters, no empty entries.
    static void splitString(const std::wstring& text, std::vector<std::wstring>& out,
                            const std::wstring& delimiters);
    // The system's text for an error code, cut at the first line end; empty when none.
    static void lookupErrorDescription(unsigned long code, std::wstring& text);
    static std::wstring lookupErrorDescription(unsigned long code);
    // The calling thread's last system error code (GetLastError / errno).
    static unsigned long getLastSystemError();
    static void setLastSystemError(unsigned long code);
    static int64_t getCurrentTime(); // seconds since 1970-01-01 UTC

    static bool getUserName(std::wstring& user, std::wstring& domain);
    // Splits an account name "DOMAIN\user" (or "/") as getUserName does.
    static bool parseUserName(const std::wstring& account, std::wstring& user,
                              std::wstring& domain);
    static bool getMachineName(std::wstring& computer, std::wstring& group);
    static bool isCurrentUserLocalSystem();
    static bool isCurrentApp();
    static void* getMyTopLevelHWND();
    static bool isThisProcess(const std::wstring& text);

    // "Local\Ondrivex.Ondrivex." + domain + "." + user + "." + name
    static std::wstring createLocalObjectName(const std::wstring& name);
};
