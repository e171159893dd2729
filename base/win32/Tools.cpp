#include "base/Tools.h"

#include <climits>
#include <vector>

#include "base/Event.h"
#include "base/EventSink.h"
#include "base/win32/ScopedHandle.h"
#include "base/win32/WindowsSupport.h"

#define SECURITY_WIN32
#include <lm.h>
#include <security.h>

namespace {

// A buffer the network management calls allocated.
struct NetBufferTraits {
    using Handle = LPWSTR;
    static Handle invalid() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void free(Handle h) { NetApiBufferFree(h); }
};

// The system takes a text's length as an int: a longer text is refused
// (and reported as a failed conversion) rather than cut short.
bool fitsLength(size_t length)
{
    if (length <= static_cast<size_t>(INT_MAX))
        return true;
    SetLastError(ERROR_ARITHMETIC_OVERFLOW);
    return false;
}

} // namespace

std::wstring Tools::widenNarrowString(const std::string& narrow)
{
    if (narrow.empty())
        return std::wstring();
    const int length = static_cast<int>(narrow.size());
    const int size = fitsLength(narrow.size())
                         ? MultiByteToWideChar(CP_UTF8, 0, narrow.data(), length, nullptr, 0)
                         : 0;
    if (size <= 0) {
        Event e(1051101, L"Failed to get size of string when widened",
                TC_AT(L"Tools::widenNarrowString"));
        e.addSystemErrorInfo();
        EventSink::trace(e);
        return std::wstring();
    }
    std::wstring wide(static_cast<size_t>(size), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, narrow.data(), length, &wide[0], size) != size) {
        Event e(1051102, L"Failed to widen string", TC_AT(L"Tools::widenNarrowString"));
        e.addSystemErrorInfo();
        EventSink::trace(e);
        return std::wstring();
    }
    return wide;
}

std::string Tools::narrowWideString(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    const int length = static_cast<int>(wide.size());
    const int size = fitsLength(wide.size()) ? WideCharToMultiByte(CP_UTF8, 0, wide.data(), length,
                                                                   nullptr, 0, nullptr, nullptr)
                                             : 0;
    if (size <= 0) {
        Event e(1051103, L"Failed to get size of string when narrow",
                TC_AT(L"Tools::narrowWideString"));
        e.addSystemErrorInfo();
        EventSink::trace(e);
        return std::string();
    }
    std::string narrow(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &narrow[0], size, nullptr, nullptr) !=
        size) {
        Event e(1051104, L"Failed to make string narrow", TC_AT(L"Tools::narrowWideString"));
        e.addSystemErrorInfo();
        EventSink::trace(e);
        return std::string();
    }
    return narrow;
}

bool Tools::accountName(std::wstring& account)
{
    ULONG size = 0;
    GetUserNameExW(NameSamCompatible, nullptr, &size);
    // Some systems answer the size query with no size at all; fall back to
    // the largest name the format allows.
    if (size == 0)
        size = 256 + 1 + 256 + 1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<wchar_t> buffer(size + 1, L'\0');
        ULONG got = size;
        if (GetUserNameExW(NameSamCompatible, buffer.data(), &got)) {
            account.assign(buffer.data());
            return true;
        }
        if (GetLastError() != ERROR_MORE_DATA || got <= size)
            return false;
        size = got;
    }
    return false;
}

bool Tools::getMachineName(std::wstring& computer, std::wstring& group)
{
    computer.clear();
    group.clear();
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return false;
    computer.assign(name, size);

    ScopedGeneric<NetBufferTraits> joined;
    NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
    if (NetGetJoinInformation(nullptr, joined.receive(), &status) != NERR_Success)
        return false;
    if (joined)
        group = joined.get();
    return true;
}

bool Tools::isCurrentApp()
{
    return getMyTopLevelHWND() != nullptr;
}

native::Window Tools::getMyTopLevelHWND()
{
    HWND window = GetForegroundWindow();
    if (window == nullptr)
        return nullptr;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId() ? window : nullptr;
}

std::wstring Tools::getExecutablePath()
{
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768)
            return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}
