#include "shared/server/UserDetails.h"

#include <vector>

#include "base/win32/WindowsSupport.h"
#include <ole2.h>
#include <oleauto.h>
#include <iads.h>

#include "base/Event.h"
#include "base/Logger.h"
#include "base/win32/ScopedCom.h"
#include "base/win32/ScopedLibrary.h"
#include "shared/server/win32/SidText.h"

// The directory interfaces are reached at run time: activeds.dll and
// secur32.dll are not on every installation, and a missing directory must
// only leave fields empty.

namespace {

const IID IidIADs = {0xFD8256D0, 0xFD15, 0x11CE, {0xAB, 0xC4, 0x02, 0x60, 0x8C, 0x9E, 0x75, 0x53}};
const IID IidIADsUser = {
    0x3E37E320, 0x17E2, 0x11CF, {0xAB, 0xC4, 0x02, 0x60, 0x8C, 0x9E, 0x75, 0x53}};
const IID IidIEnumVARIANT = {
    0x00020404, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const int NameFullyQualifiedDN = 1;
const int NameDisplay = 3;
const ULONG NameBufferSize = 1024;

typedef BOOLEAN(WINAPI* GetUserNameExFunction)(int format, LPWSTR name, PULONG size);
typedef HRESULT(WINAPI* ADsOpenObjectFunction)(LPCWSTR path, LPCWSTR user, LPCWSTR password,
                                               DWORD flags, REFIID iid, void** object);

void trace(uint32_t id, const wchar_t* text, const wchar_t* function)
{
    Event event(id, text, TC_AT(function));
    Logger::Trace(event);
}

void traceHresult(uint32_t id, const wchar_t* text, const wchar_t* function, HRESULT hr,
                  const std::wstring& path)
{
    Event event(id, text, TC_AT(function));
    event.addDetails(L"HRESULT", static_cast<long long>(static_cast<unsigned long>(hr)));
    if (!path.empty())
        event.addDetails(L"Path", path);
    Logger::Trace(event);
}

// A BSTR property: the text when the call succeeded, else empty.
template <typename Getter>
std::wstring bstrProperty(Getter getter)
{
    ScopedBstr value;
    const HRESULT hr = getter(value.receive());
    return SUCCEEDED(hr) ? value.text() : std::wstring();
}

// A VARIANT property holding text: the text when the call succeeded, else empty.
template <typename Getter>
std::wstring variantProperty(Getter getter)
{
    ScopedVariant value;
    const HRESULT hr = getter(value.receive());
    if (SUCCEEDED(hr) && value.value().vt == VT_BSTR && value.value().bstrVal != nullptr)
        return std::wstring(value.value().bstrVal, SysStringLen(value.value().bstrVal));
    return std::wstring();
}

// "objectSid" of a directory object as text; false when it has none.
bool objectSid(IADs* object, std::wstring& text)
{
    ScopedBstr name(L"objectSid");
    ScopedVariant value;
    const HRESULT hr = object->Get(name.get(), value.get());
    return SUCCEEDED(hr) && SidText::fromVariant(value.get(), text);
}

void lookupSid(const std::wstring& username, const std::wstring& domain, std::wstring& sidText)
{
    const wchar_t* function = L"UserDetails::lookupSid";
    if (username.empty() || domain.empty()) {
        trace(1062802, L"Username and domain must be known before calling LookupAccountName()",
              function);
        return;
    }
    const std::wstring account = domain + L"\\" + username;
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use;
    LookupAccountNameW(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
    if (sidSize == 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        Event event(1062803,
                    L"First call to get SID length failed when calling LookupAccountName()",
                    TC_AT(function));
        event.addSystemErrorInfo();
        Logger::Trace(event);
        return;
    }
    std::vector<BYTE> sid(sidSize);
    std::vector<wchar_t> referencedDomain(domainSize + 1);
    if (!LookupAccountNameW(nullptr, account.c_str(), sid.data(), &sidSize, referencedDomain.data(),
                            &domainSize, &use)) {
        Event event(1062804, L"Second call to get SID failed when calling LookupAccountName()",
                    TC_AT(function));
        event.addSystemErrorInfo();
        Logger::Trace(event);
        return;
    }
    sidText = SidText::fromSid(sid.data());
}

void lookupNames(std::wstring& fullDName, std::wstring& displayName)
{
    ScopedLibrary secur32(L"secur32.dll");
    GetUserNameExFunction getUserNameEx = secur32.function<GetUserNameExFunction>("GetUserNameExW");
    if (getUserNameEx == nullptr) {
        trace(1062805, L"Failed to load library secur32.dll", L"UserDetails::lookupNames");
        return;
    }
    std::vector<wchar_t> buffer(NameBufferSize + 1, L'\0');
    ULONG size = NameBufferSize;
    if (getUserNameEx(NameFullyQualifiedDN, buffer.data(), &size) && size <= NameBufferSize)
        fullDName.assign(buffer.data(), size);
    size = NameBufferSize;
    if (getUserNameEx(NameDisplay, buffer.data(), &size) && size <= NameBufferSize)
        displayName.assign(buffer.data(), size);
}

HRESULT openObject(ADsOpenObjectFunction open, const std::wstring& path, REFIID iid, void** object)
{
    return open(path.c_str(), nullptr, nullptr, ADS_SECURE_AUTHENTICATION, iid, object);
}

void lookupWinNT(ADsOpenObjectFunction open, const std::wstring& username,
                 const std::wstring& domain, std::wstring& displayName, std::wstring& sid)
{
    const wchar_t* function = L"UserDetails::lookupWinNT";
    if (username.empty() || domain.empty()) {
        trace(1062806,
              L"We cannot retrieve a users details from WinNT without the users domain name and "
              L"user name.",
              function);
        return;
    }
    const std::wstring path = L"WinNT://" + domain + L"/" + username;
    ScopedComPtr<IADsUser> user;
    HRESULT hr = open ? openObject(open, path, IidIADsUser, user.receiveVoid()) : E_NOINTERFACE;
    if (FAILED(hr) || user.get() == nullptr) {
        traceHresult(1062807, L"Failed to bind to WinNT directory", function, hr, path);
        return;
    }
    std::wstring fullName = bstrProperty([&](BSTR* v) { return user->get_FullName(v); });
    if (displayName.empty())
        displayName = fullName;
    std::wstring text;
    if (!objectSid(user.get(), text))
        trace(1062808, L"Failed to convert from VARIANT SID to string.", function);
    else if (sid.empty())
        sid = text;
}

void lookupGroups(IADsUser* user, std::vector<ADGroup>& groups)
{
    const wchar_t* function = L"UserDetails::lookupGroups";
    ScopedComPtr<IADsMembers> members;
    HRESULT hr = user->Groups(members.receive());
    ScopedComPtr<IUnknown> enumerator;
    if (SUCCEEDED(hr) && members.get())
        hr = members->get__NewEnum(enumerator.receive());
    ScopedComPtr<IEnumVARIANT> items;
    if (SUCCEEDED(hr) && enumerator.get())
        hr = enumerator->QueryInterface(IidIEnumVARIANT, items.receiveVoid());
    if (FAILED(hr) || items.get() == nullptr) {
        traceHresult(1062813, L"GetGroups failed in GetUsersGroups", function, hr, std::wstring());
        return;
    }
    for (;;) {
        ScopedVariant item;
        ULONG fetched = 0;
        if (items->Next(1, item.get(), &fetched) != S_OK || fetched != 1)
            break;
        const VARIANT& v = item.value();
        if (v.vt == VT_DISPATCH && v.pdispVal != nullptr) {
            ScopedComPtr<IADs> group;
            if (SUCCEEDED(v.pdispVal->QueryInterface(IidIADs, group.receiveVoid())) &&
                group.get()) {
                std::wstring name = bstrProperty([&](BSTR* v) { return group->get_Name(v); });
                std::wstring guid = bstrProperty([&](BSTR* v) { return group->get_GUID(v); });
                groups.emplace_back(name, guid);
            }
        }
    }
}

void lookupLdap(ADsOpenObjectFunction open, const std::wstring& fullDName, std::wstring& sid,
                std::wstring& guid, std::wstring& email, std::wstring& firstName,
                std::wstring& namePrefix, std::wstring& title, std::wstring& lastName,
                std::wstring& department, std::wstring& division, std::wstring& telephone,
                std::wstring& mobile, std::wstring& managerSid, std::vector<ADGroup>& groups)
{
    const wchar_t* function = L"UserDetails::lookupLdap";
    if (fullDName.empty()) {
        trace(1062809, L"We cannot retrieve a users details from AD without the users full DN.",
              function);
        return;
    }
    const std::wstring path = L"LDAP://" + fullDName;
    ScopedComPtr<IADsUser> user;
    HRESULT hr = open ? openObject(open, path, IidIADsUser, user.receiveVoid()) : E_NOINTERFACE;
    if (FAILED(hr) || user.get() == nullptr) {
        traceHresult(1062810, L"Failed to bind to Active Directory", function, hr, path);
        return;
    }
    email = bstrProperty([&](BSTR* v) { return user->get_EmailAddress(v); });
    firstName = bstrProperty([&](BSTR* v) { return user->get_FirstName(v); });
    namePrefix = bstrProperty([&](BSTR* v) { return user->get_NamePrefix(v); });
    title = bstrProperty([&](BSTR* v) { return user->get_Title(v); });
    lastName = bstrProperty([&](BSTR* v) { return user->get_LastName(v); });
    department = bstrProperty([&](BSTR* v) { return user->get_Department(v); });
    division = bstrProperty([&](BSTR* v) { return user->get_Division(v); });
    telephone = variantProperty([&](VARIANT* v) { return user->get_TelephoneNumber(v); });
    mobile = variantProperty([&](VARIANT* v) { return user->get_TelephoneMobile(v); });
    guid = bstrProperty([&](BSTR* v) { return user->get_GUID(v); });
    std::wstring text;
    if (objectSid(user.get(), text))
        sid = text;

    const std::wstring managerDName = bstrProperty([&](BSTR* v) { return user->get_Manager(v); });
    if (managerDName.empty()) {
        trace(1062811, L"Failed to get manager SID", function);
    } else {
        const std::wstring managerPath = L"LDAP://" + managerDName;
        ScopedComPtr<IADs> manager;
        hr = openObject(open, managerPath, IidIADs, manager.receiveVoid());
        if (FAILED(hr) || manager.get() == nullptr)
            traceHresult(1062812, L"Failed to bind to Active Directory using manager DName",
                         function, hr, managerPath);
        else if (!objectSid(manager.get(), managerSid))
            trace(1062811, L"Failed to get manager SID", function);
    }
    lookupGroups(user.get(), groups);
}

} // namespace

void UserDetails::lookupAccountAndDirectory(Fields& f)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    lookupSid(f.username, f.domain, f.sid);
    lookupNames(f.fullDName, f.displayName);
    {
        ScopedLibrary activeds(L"activeds.dll");
        ADsOpenObjectFunction open = activeds.function<ADsOpenObjectFunction>("ADsOpenObject");
        lookupWinNT(open, f.username, f.domain, f.displayName, f.sid);
        lookupLdap(open, f.fullDName, f.sid, f.guid, f.email, f.firstName, f.namePrefix, f.title,
                   f.lastName, f.department, f.division, f.telephone, f.mobileNumber, f.managerSid,
                   f.groups);
    } // every interface is released before the library goes
    if (SUCCEEDED(com))
        CoUninitialize();
}
