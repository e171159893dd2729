// Drives a running client's windows from outside, as a person at the desk
// would, for the end-to-end window test (test_client_windows_e2e.py). It
// reads one command a line on standard input and answers each with one
// line on standard output: "ok" and what was asked for, or "error" and why.
// Fields are separated by tabs; a control is named by its resource id.
//
//   find MS                 waits up to MS ms for the status window
//   shown                   ok 1 when the status window is visible
//   header                  ok <user label> <status text>
//   view                    ok <id>=<text> ... of the view on show
//   items ID                ok <entry> ... of a combo box in the view
//   type ID TEXT            types TEXT into an edit (or a combo box's edit)
//   select ID TEXT          selects the combo box entry TEXT
//   click ID                clicks a button of the view or the window
//   tray EVENT              the tray icon's callback with that mouse
//                           message (dblclk, rbuttonup), as the shell sends it
//   shelltray               ok <visible> <width> <height> of the shell's
//                           notification area window (the desktop's)
//   shellclick X Y EVENT    a mouse message to that window at X, Y
//   menu                    ok <id>=<text> ... of the popup menu on show
//   menukey CHAR            a key press in the popup menu
//   dialog TITLE            ok <id>=<text> ... of the client's dialog TITLE
//   press TITLE ID          clicks a button of that dialog
//   clock SECONDS           moves the client's test clock on
//   shot FILE               the client's visible windows, as a BMP
//   quit
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "base/win32/WindowsSupport.h"
#include "client/win32/CTrayNotifyIcon.h"
#include "client/win32/ClientMessages.h"
#include "client/win32/ClientResources.h"
#include "client/win32/ClockControlWindow.h"
#include "client/tests/win32/ScreenPicture.h"

namespace {

HWND g_status = nullptr;
DWORD g_process = 0;

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

// Tabs and line ends would break the answer's fields.
std::wstring field(std::wstring text)
{
    for (wchar_t& c : text)
        if (c == L'\t' || c == L'\n' || c == L'\r')
            c = L' ';
    return text;
}

std::wstring windowText(HWND window)
{
    wchar_t buffer[512] = L"";
    DWORD_PTR length = 0;
    // The owner may be busy in a modal loop: a timeout, not a hang.
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 5000, &length))
        return std::wstring();
    return std::wstring(buffer, length < 512 ? length : 511);
}

std::wstring className(HWND window)
{
    wchar_t buffer[64] = L"";
    GetClassNameW(window, buffer, 64);
    return buffer;
}

bool ownedByClient(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == g_process;
}

// Waits until the client's thread has handled what was sent before.
void settle()
{
    DWORD_PTR ignored = 0;
    if (g_status)
        SendMessageTimeoutW(g_status, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
}

struct TopSearch {
    std::wstring kind;
    std::wstring title;
    bool statusWindow; // the one with the header's user label
    HWND found;
};

BOOL CALLBACK findTop(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<TopSearch*>(data);
    if (className(window) != search->kind)
        return TRUE;
    if (search->statusWindow) {
        if (GetDlgItem(window, IDC_USER_LABEL) && GetDlgItem(window, IDC_REPORTS_LINK)) {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }
    if (ownedByClient(window) && IsWindowVisible(window) && window != g_status &&
        windowText(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND topWindow(const std::wstring& kind, const std::wstring& title, bool statusWindow)
{
    TopSearch search{kind, title, statusWindow, nullptr};
    EnumWindows(&findTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The view on show: the status window's visible child dialog.
HWND currentView()
{
    for (HWND child = GetWindow(g_status, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (className(child) == L"#32770" && IsWindowVisible(child))
            return child;
    return nullptr;
}

// A control of the view on show, else of the status window itself.
HWND control(int id)
{
    if (HWND view = currentView())
        if (HWND found = GetDlgItem(view, id))
            return found;
    return GetDlgItem(g_status, id);
}

std::wstring controlTexts(HWND parent)
{
    std::wstring out;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        int id = GetDlgCtrlID(child);
        out += L"\t" + std::to_wstring(id) + L"=" + field(windowText(child));
    }
    return out;
}

std::wstring comboItems(HWND box)
{
    std::wstring out;
    LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = L"";
        LRESULT length = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0 || length >= 256)
            continue;
        SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        out += L"\t" + field(text);
    }
    return out;
}

struct MenuSearch {
    HWND found;
};

BOOL CALLBACK findMenu(HWND window, LPARAM data)
{
    if (className(window) == L"#32768" && IsWindowVisible(window) && ownedByClient(window)) {
        reinterpret_cast<MenuSearch*>(data)->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND popupMenu()
{
    MenuSearch search{nullptr};
    EnumWindows(&findMenu, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Bounds {
    RECT rect;
    bool any;
};

BOOL CALLBACK addBounds(HWND window, LPARAM data)
{
    auto* bounds = reinterpret_cast<Bounds*>(data);
    if (!IsWindowVisible(window) || !ownedByClient(window) || IsIconic(window))
        return TRUE;
    RECT r;
    GetWindowRect(window, &r);
    if (r.right - r.left <= 1 || r.bottom - r.top <= 1)
        return TRUE;
    if (!bounds->any)
        bounds->rect = r;
    else
        UnionRect(&bounds->rect, &bounds->rect, &r);
    bounds->any = true;
    return TRUE;
}

// The screen as shown, over the bounds of the client's visible windows
// (the status window, its menu and dialogs), as a 24-bit BMP.
bool screenshot(const std::wstring& path, std::wstring& why)
{
    Bounds bounds{{0, 0, 0, 0}, false};
    EnumWindows(&addBounds, reinterpret_cast<LPARAM>(&bounds));
    if (!bounds.any) {
        why = L"no window of the client is visible";
        return false;
    }
    return screenpicture::write(bounds.rect, path, why);
}

void answer(const std::wstring& text)
{
    std::string line = utf8(text) + "\n";
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
}

// Splits "a b rest of line": the first n-1 words, then the rest.
std::vector<std::wstring> words(const std::wstring& line, size_t n)
{
    std::vector<std::wstring> out;
    size_t at = 0;
    while (out.size() + 1 < n) {
        size_t space = line.find(L' ', at);
        if (space == std::wstring::npos)
            break;
        out.push_back(line.substr(at, space - at));
        at = space + 1;
    }
    if (at < line.size() || out.size() + 1 == n)
        out.push_back(line.substr(at));
    return out;
}

bool findStatusWindow(DWORD waitMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        g_status = topWindow(L"#32770", L"", true);
        if (g_status) {
            GetWindowThreadProcessId(g_status, &g_process);
            return true;
        }
        if (GetTickCount() - start > waitMs)
            return false;
        Sleep(100);
    }
}

std::wstring run(const std::wstring& line)
{
    std::vector<std::wstring> w = words(line, 2);
    const std::wstring command = w.empty() ? L"" : w[0];
    const std::wstring rest = w.size() > 1 ? w[1] : L"";
    if (command == L"find")
        return findStatusWindow(static_cast<DWORD>(_wtoi(rest.c_str()))) ? L"ok"
                                                                           : L"error no status window";
    if (!g_status || !IsWindow(g_status))
        return L"error the status window is gone (find first)";
    if (command == L"shown")
        return std::wstring(L"ok\t") + (IsWindowVisible(g_status) && !IsIconic(g_status) ? L"1" : L"0");
    if (command == L"header")
        return L"ok\t" + field(windowText(GetDlgItem(g_status, IDC_USER_LABEL))) + L"\t" +
               field(windowText(GetDlgItem(g_status, IDC_STATUS_TEXT)));
    if (command == L"view") {
        HWND view = currentView();
        return view ? L"ok" + controlTexts(view) : L"error no view on show";
    }
    if (command == L"items") {
        HWND box = control(_wtoi(rest.c_str()));
        return box ? L"ok" + comboItems(box) : L"error no such control";
    }
    if (command == L"type" || command == L"select") {
        std::vector<std::wstring> a = words(rest, 2);
        HWND target = a.empty() ? nullptr : control(_wtoi(a[0].c_str()));
        if (!target)
            return L"error no such control";
        std::wstring text = a.size() > 1 ? a[1] : L"";
        if (command == L"select") {
            LRESULT index = SendMessageW(target, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(text.c_str()));
            if (index == CB_ERR)
                return L"error no such entry";
            SendMessageW(target, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            return L"ok\t" + std::to_wstring(index);
        }
        // A combo box that can be typed into takes the keys in its edit.
        if (className(target) == L"ComboBox")
            if (HWND edit = FindWindowExW(target, nullptr, L"Edit", nullptr))
                target = edit;
        SendMessageW(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        for (wchar_t c : text)
            SendMessageW(target, WM_CHAR, c, 1);
        return L"ok\t" + field(windowText(target));
    }
    if (command == L"click") {
        HWND button = control(_wtoi(rest.c_str()));
        if (!button)
            return L"error no such control";
        if (!IsWindowVisible(button) || !IsWindowEnabled(button))
            return L"error the button cannot be clicked";
        // Posted: a click may open a message box, which would hold a send.
        PostMessageW(button, BM_CLICK, 0, 0);
        return L"ok";
    }
    if (command == L"tray") {
        UINT event = rest == L"dblclk" ? WM_LBUTTONDBLCLK : rest == L"rbuttonup" ? WM_RBUTTONUP : 0;
        if (!event)
            return L"error unknown event";
        PostMessageW(g_status, ClientMessages::trayNotify(), CTrayNotifyIcon::IconId, event);
        return L"ok";
    }
    if (command == L"shelltray" || command == L"shellclick") {
        HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
        // Without a taskbar Wine's desktop shows the icons in a small
        // window of their own.
        if (!tray || !IsWindowVisible(tray))
            tray = FindWindowW(nullptr, L"Wine System Tray");
        if (!tray)
            return L"error no notification area";
        RECT r;
        GetClientRect(tray, &r);
        if (command == L"shelltray")
            return std::wstring(L"ok\t") + (IsWindowVisible(tray) ? L"1" : L"0") + L"\t" +
                   std::to_wstring(r.right) + L"\t" + std::to_wstring(r.bottom) + L"\t" +
                   className(tray);
        std::vector<std::wstring> a = words(rest, 3);
        if (a.size() != 3)
            return L"error shellclick X Y EVENT";
        UINT event = a[2] == L"dblclk"      ? WM_LBUTTONDBLCLK
                     : a[2] == L"rbuttonup" ? WM_RBUTTONUP
                     : a[2] == L"rbuttondown" ? WM_RBUTTONDOWN
                                            : 0;
        if (!event)
            return L"error unknown event";
        POINT at{_wtoi(a[0].c_str()), _wtoi(a[1].c_str())};
        // Each icon may be a child window of its own.
        HWND target = ChildWindowFromPointEx(tray, at, CWP_SKIPINVISIBLE);
        if (!target)
            return L"error nothing there";
        if (target != tray)
            MapWindowPoints(tray, target, &at, 1);
        PostMessageW(target, event, event == WM_RBUTTONDOWN ? MK_RBUTTON : 0,
                     MAKELPARAM(at.x, at.y));
        return L"ok\t" + className(target);
    }
    if (command == L"menu" || command == L"menukey") {
        HWND menuWindow = popupMenu();
        if (!menuWindow)
            return L"error no menu on show";
        if (command == L"menukey") {
            if (rest.empty())
                return L"error no key";
            PostMessageW(menuWindow, WM_CHAR, rest[0], 1);
            return L"ok";
        }
        DWORD_PTR result = 0;
        SendMessageTimeoutW(menuWindow, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        HMENU menu = reinterpret_cast<HMENU>(result);
        if (!menu)
            return L"error the menu has no items";
        std::wstring out = L"ok";
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[128] = L"";
            GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            out += L"\t" + std::to_wstring(static_cast<int>(GetMenuItemID(menu, i))) + L"=" +
                   field(text);
        }
        return out;
    }
    if (command == L"dialog") {
        HWND dialog = topWindow(L"#32770", rest, false);
        return dialog ? L"ok" + controlTexts(dialog) : L"error no dialog " + rest;
    }
    if (command == L"press") {
        size_t space = rest.rfind(L' ');
        if (space == std::wstring::npos)
            return L"error press TITLE ID";
        HWND dialog = topWindow(L"#32770", rest.substr(0, space), false);
        HWND button = dialog ? GetDlgItem(dialog, _wtoi(rest.c_str() + space + 1)) : nullptr;
        if (!button)
            return L"error no such dialog or button";
        PostMessageW(button, BM_CLICK, 0, 0);
        return L"ok";
    }
    if (command == L"clock") {
        HWND clock = nullptr;
        while ((clock = FindWindowExW(nullptr, clock, ClockControlWindow::ClassName, nullptr)))
            if (ownedByClient(clock))
                break;
        if (!clock)
            return L"error the client runs on the system clock";
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(clock, ClockControlWindow::advanceMessage(),
                                 static_cast<WPARAM>(_wtoi(rest.c_str())), 0, SMTO_ABORTIFHUNG,
                                 5000, &result))
            return L"error the client does not answer";
        return result ? L"ok" : L"error the step was refused";
    }
    if (command == L"shot") {
        settle();
        std::wstring why;
        return screenshot(rest, why) ? L"ok" : L"error " + why;
    }
    return L"error unknown command " + command;
}

} // namespace

int main()
{
    char buffer[1024];
    while (fgets(buffer, sizeof buffer, stdin)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line == "quit")
            break;
        if (line.empty())
            continue;
        answer(run(wide(line)));
    }
    return 0;
}
