#include "client/AuthenticationURL.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>

#include "base/ByteArray.h"
#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "base/Registry.h"
#include "shared/server/SecurityDevice.h"
#include "shared/server/TavelinSessionDetails.h"

const wchar_t* const AuthenticationURL::MakerSite = L"http://www.ondrivex.example/";

namespace {
const wchar_t* const UserSummaryPage = L"Reports/General/UserSummary.aspx";
const wchar_t* const GroupListPage = L"Reports/Group/GroupList.aspx";
} // namespace

std::wstring AuthenticationURL::webServerAddress()
{
    static const std::wstring address = [] {
        Registry machine(Registry::LocalMachine);
        std::wstring host = machine.read(L"WebServer", std::wstring());
        if (host.empty())
            return std::wstring(MakerSite);
        return L"http://" + host + L"/";
    }();
    return address;
}

std::wstring AuthenticationURL::plainAddress(const std::wstring& reportsAddress, bool group)
{
    std::wstring base = reportsAddress;
    if (base.empty())
        base = webServerAddress();
    else if (base.back() != L'/')
        base += L'/';
    return base + (group ? GroupListPage : UserSummaryPage);
}

std::wstring AuthenticationURL::escapeToken(const std::wstring& base64)
{
    std::wstring out;
    out.reserve(base64.size() + 8);
    for (wchar_t c : base64) {
        if (c == L'+')
            out += L"%2B";
        else if (c == L'/')
            out += L"%2F";
        else if (c == L'=')
            out += L"%3D";
        else
            out += c;
    }
    return out;
}

AuthenticationURL::Sources AuthenticationURL::standardSources()
{
    Sources sources;
    sources.date = [] {
        int year = 0, month = 0, day = 0;
        localDate(year, month, day);
        wchar_t text[32];
        std::swprintf(text, 32, L"%4d%02d%02d", year, month, day);
        return std::wstring(text);
    };
    sources.number = [] {
        static std::once_flag seeded;
        std::call_once(seeded, [] { std::srand(static_cast<unsigned>(std::time(nullptr))); });
        uint32_t low = static_cast<uint32_t>(std::rand()) & 0xFFFFu;
        uint32_t high = static_cast<uint32_t>(std::rand()) & 0xFFFFu;
        return low | (high << 16);
    };
    return sources;
}

std::wstring AuthenticationURL::generate(const TavelinSessionDetails& session,
                                         const std::wstring& reportsAddress, bool group)
{
    return generate(session, reportsAddress, group, standardSources());
}

std::wstring AuthenticationURL::generate(const TavelinSessionDetails& session,
                                         const std::wstring& reportsAddress, bool group,
                                         const Sources& sources)
{
    try {
        std::wstring date = sources.date();
        uint32_t number = sources.number();
        int userId = session.getUserID();
        if (!session.isLoggedOn() || userId < 1 || session.getUserPasswordHash().getSize() == 0)
            return plainAddress(reportsAddress, group);

        ByteArray bytes;
        bytes += date;
        bytes += static_cast<unsigned int>(number);
        bytes += userId;
        std::unique_ptr<ByteArray> signature(
            SecurityDevice::signByteArray(bytes, session.getUserPasswordHash()));
        if (!signature)
            throw Exception(1190201, L"Error signing ByteArray in AuthenticationURL::generate",
                            TC_AT(L"AuthenticationURL::generate"));
        std::unique_ptr<ByteArray> encoded(SecurityDevice::base64(*signature));
        if (!encoded)
            throw Exception(1190202, L"Error base64ing ByteArray in AuthenticationURL::generate",
                            TC_AT(L"AuthenticationURL::generate"));
        std::wstring token = escapeToken(encoded->a2w());

        std::wstring url = reportsAddress;
        url += L"Security/AutoLogin.aspx?";
        url += L"uid=" + std::to_wstring(userId);
        url += L"&dt=" + date;
        url += L"&unid=" + std::to_wstring(number);
        url += L"&token=" + token;
        url += group ? L"&ReturnUrl=%2fReports%2fGroup%2fGroupList.aspx"
                     : L"&ReturnUrl=%2fReports%2fGeneral%2fUserSummary.aspx";
        return url;
    } catch (const Exception& e) {
        Event event(1190201, &e, L"Unexpected Exception generating AuthorisationURL",
                    TC_AT(L"AuthenticationURL::generate"));
        Logger::Trace(event);
    }
    return plainAddress(reportsAddress, group);
}
