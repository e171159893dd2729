#include "base/Tools.h"

#include <chrono>
#include <cwctype>

#include "base/Event.h"
#include "base/EventSink.h"
#include "base/SystemError.h"

namespace {

const wchar_t* const CleanCharacters = L"\\\t/. :;";

} // namespace

std::wstring Tools::cleanString(const std::wstring& text)
{
    const size_t last = text.find_last_not_of(CleanCharacters);
    if (last == std::wstring::npos)
        return std::wstring();
    const size_t first = text.find_first_not_of(CleanCharacters);
    return text.substr(first, last - first + 1);
}

bool Tools::equalsIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

void Tools::stringToUpper(std::wstring& text)
{
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    }
}

void Tools::stringToLower(std::wstring& text)
{
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
}

void Tools::splitString(const std::wstring& text, std::vector<std::wstring>& out,
                        const std::wstring& delimiters)
{
    out.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = text.find_first_not_of(delimiters, pos);
        if (start == std::wstring::npos)
            break;
        size_t end = text.find_first_of(delimiters, start);
        if (end == std::wstring::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        pos = end;
    }
}

void Tools::lookupErrorDescription(unsigned long code, std::wstring& text)
{
    text = SystemError::text(code);
}

std::wstring Tools::lookupErrorDescription(unsigned long code)
{
    return SystemError::text(code);
}

unsigned long Tools::getLastSystemError()
{
    return SystemError::last();
}

void Tools::setLastSystemError(unsigned long code)
{
    SystemError::set(code);
}

int64_t Tools::getCurrentTime()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

bool Tools::parseUserName(const std::wstring& account, std::wstring& user, std::wstring& domain)
{
    user.clear();
    domain.clear();
    std::vector<std::wstring> parts;
    splitString(account, parts, L"\\/");
    if (parts.empty()) {
        Event e(1051106, L"Failed to parse user name", TC_AT(L"Tools::getUserName"));
        e.addDetails(L"UserName", account);
        EventSink::trace(e);
        return false;
    }
    if (parts.size() == 1) {
        user = parts[0];
        Event e(1051107, L"Unexpected user name format", TC_AT(L"Tools::getUserName"));
        e.addDetails(L"UserName", account);
        EventSink::trace(e);
        return true;
    }
    domain = parts[0];
    user = parts[1];
    if (parts.size() > 2) {
        Event e(1051108, L"Unexpected user name format", TC_AT(L"Tools::getUserName"));
        e.addDetails(L"UserName", account);
        EventSink::trace(e);
    }
    return true;
}

bool Tools::getUserName(std::wstring& user, std::wstring& domain)
{
    user.clear();
    domain.clear();
    std::wstring account;
    if (!accountName(account)) {
        Event e(1051105, L"Failed to get user name", TC_AT(L"Tools::getUserName"));
        e.addSystemErrorInfo();
        EventSink::trace(e);
        return false;
    }
    return parseUserName(account, user, domain);
}

bool Tools::isCurrentUserLocalSystem()
{
    std::wstring user, domain, computer, group;
    if (!getUserName(user, domain))
        return false;
    // Only the computer name matters here; a missing workgroup does not.
    getMachineName(computer, group);
    if (computer.empty())
        return false;
    // Account names compare without regard to case on Windows.
    return equalsIgnoringCase(user, computer + L"$");
}

bool Tools::isThisProcess(const std::wstring& text)
{
    std::wstring path = getExecutablePath();
    std::wstring wanted = text;
    for (wchar_t& c : path)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    for (wchar_t& c : wanted)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return !path.empty() && path.find(wanted) != std::wstring::npos;
}

std::wstring Tools::createLocalObjectName(const std::wstring& name)
{
    // Computed once: every process that shares an object must agree on the
    // name for as long as it runs.
    static const std::wstring prefix = [] {
        std::wstring user, domain;
        if (!getUserName(user, domain)) {
            user.clear();
            domain.clear();
        }
        return L"Local\\Ondrivex.Ondrivex." + domain + L"." + user + L".";
    }();
    return prefix + name;
}
