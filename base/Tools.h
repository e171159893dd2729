#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/NativeHandle.h"

#include "base/TCBaseApi.h"

// Small static helpers: strings, names and per-user object names.
class TCBASE_API Tools {
public:
    // Strips every run of \ tab / . blank : ; from the end, then from the start.
    static std::wstring cleanString(const std::wstring& text);
    static void stringToUpper(std::wstring& text); // ASCII letters only
    static void stringToLower(std::wstring& text);
    // The same characters but for case (as std::towlower sees it).
    static bool equalsIgnoringCase(const std::wstring& a, const std::wstring& b);
    // UTF-8 to UTF-16 and back. Malformed input becomes U+FFFD. On Windows
    // the system converts, and a failure of its conversion (or a text too
    // long for it) is traced (1051101..1051104) and gives an empty result;
    // natively Utf16::fromUtf8 and Utf16::toUtf8 convert, which cannot fail.
    static std::wstring widenNarrowString(const std::string& narrow);
    static std::string narrowWideString(const std::wstring& wide);
    // The maximal runs of characters not in delimiters, no empty entries.
    // out is cleared first.
    static void splitString(const std::wstring& text, std::vector<std::wstring>& out,
                            const std::wstring& delimiters);
    // The system's text for an error code, cut at the first line end; empty when none.
    static void lookupErrorDescription(unsigned long code, std::wstring& text);
    static std::wstring lookupErrorDescription(unsigned long code);
    // The calling thread's last system error code (GetLastError / errno).
    static unsigned long getLastSystemError();
    static void setLastSystemError(unsigned long code);
    static int64_t getCurrentTime(); // seconds since 1970-01-01 UTC

    // The signed-in account as domain and user (see parseUserName). Both are
    // cleared first; false (traced 1051105 or 1051106) when there is no name.
    static bool getUserName(std::wstring& user, std::wstring& domain);
    // Splits an account name "DOMAIN\user" (or "/"): one part is the user
    // alone (traced 1051107), more than two take the first two (traced
    // 1051108), none is false (traced 1051106). Both outputs are cleared first.
    static bool parseUserName(const std::wstring& account, std::wstring& user,
                              std::wstring& domain);
    // The computer name and its domain or workgroup; both cleared first.
    // False when either cannot be had (the computer name is kept when only
    // the group is missing).
    static bool getMachineName(std::wstring& computer, std::wstring& group);
    // The account is the machine account (computer name + "$"), the name
    // under which the system account appears.
    static bool isCurrentUserLocalSystem();
    static bool isCurrentApp();
    // The foreground window (HWND) when it belongs to this process, else null.
    static native::Window getMyTopLevelHWND();
    // The lower-cased path of this process's executable contains the
    // lower-cased text.
    static bool isThisProcess(const std::wstring& text);
    // Full path of this process's executable; empty when it cannot be had.
    static std::wstring getExecutablePath();

    // "Local\Ondrivex.Ondrivex." + domain + "." + user + "." + name. The
    // prefix is computed once per process; without a user name, domain and
    // user are empty.
    static std::wstring createLocalObjectName(const std::wstring& name);

private:
    // Operating-system half (with the platform's answers to the public calls
    // above), in win32/Tools.cpp and posix/Tools.cpp.
    // The signed-in account as the platform names it (DOMAIN\user). False,
    // with the system error left set, when it cannot be had.
    static bool accountName(std::wstring& account);
};
