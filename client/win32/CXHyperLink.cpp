#include "client/win32/CXHyperLink.h"

#include <commctrl.h>
#include <shellapi.h>

#include "base/Event.h"
#include "base/Logger.h"
#include "client/win32/ClientMessages.h"
#include "client/win32/Skin.h"

namespace {
std::function<void(const std::wstring&, int)>& opener()
{
    static std::function<void(const std::wstring&, int)> current;
    return current;
}

// The default value of a key below HKEY_CLASSES_ROOT; false when missing.
bool classesDefault(const std::wstring& key, std::wstring& value)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[1024] = L"";
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    LONG rc =
        RegQueryValueExW(handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buffer[size / sizeof(wchar_t)] = L'\0';
    value = buffer;
    return true;
}
} // namespace

CXHyperLink::~CXHyperLink()
{
    if (m_control && IsWindow(m_control))
        RemoveWindowSubclass(m_control, &CXHyperLink::subclassProc, 1);
}

void CXHyperLink::attach(HWND control)
{
    m_control = control;
    if (!control)
        return;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Skin::linkFont()), FALSE);
    SetWindowSubclass(control, &CXHyperLink::subclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void CXHyperLink::clicked(HWND dialog, int id)
{
    if (m_reportsClicks) {
        SendMessageW(dialog, ClientMessages::hyperlinkClicked(), static_cast<WPARAM>(id), 0);
        return;
    }
    open(m_address, SW_SHOW);
}

LRESULT CALLBACK CXHyperLink::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR)
{
    if (message == WM_SETCURSOR) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void CXHyperLink::setOpener(std::function<void(const std::wstring&, int)> fn)
{
    opener() = std::move(fn);
}

void CXHyperLink::open(const std::wstring& address, int showCommand)
{
    if (opener())
        opener()(address, showCommand);
    else
        GotoURL(address, showCommand);
}

std::wstring CXHyperLink::fallbackCommand(const std::wstring& registered,
                                          const std::wstring& address)
{
    std::wstring command = registered;
    size_t at = command.find(L"\"%1\"");
    if (at == std::wstring::npos)
        at = command.find(L"%1");
    if (at != std::wstring::npos)
        command = command.substr(0, at);
    return command + L" " + address;
}

void CXHyperLink::GotoURL(const std::wstring& address, int showCommand)
{
    if (address.empty())
        return;
    HINSTANCE result =
        ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, showCommand);
    if (reinterpret_cast<INT_PTR>(result) > 32)
        return;
    Event failed(1190101, L"ShellExecute failed", TC_AT(L"CXHyperLink::GotoURL"));
    failed.addSystemErrorInfo();
    Logger::Log(failed);

    std::wstring htmClass;
    if (!classesDefault(L".htm", htmClass)) {
        Event e(1190104, L"GetRegKey .htm failed", TC_AT(L"CXHyperLink::GotoURL"));
        Logger::Log(e);
        return;
    }
    std::wstring registered;
    if (!classesDefault(htmClass + L"\\shell\\open\\command", registered)) {
        Event e(1190103, L"GetRegKey failed for shell\\open\\command",
                TC_AT(L"CXHyperLink::GotoURL"));
        Logger::Log(e);
        return;
    }
    std::wstring command = fallbackCommand(registered, address);
    int bytes = WideCharToMultiByte(CP_ACP, 0, command.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(bytes > 0 ? static_cast<size_t>(bytes) : 1u, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, command.c_str(), -1, &narrow[0], bytes, nullptr, nullptr);
    UINT started = WinExec(narrow.c_str(), static_cast<UINT>(showCommand));
    if (started < 32) {
        Event e(1190102, L"WinExec failed", TC_AT(L"CXHyperLink::GotoURL"));
        e.addSystemErrorInfo();
        Logger::Log(e);
    }
}
