#include "client/win32/Dialog.h"

#include <vector>

#include "base/Event.h"
#include "base/Exception.h"
#include "base/Logger.h"
#include "client/win32/CXHyperLink.h"

Dialog::Dialog(int templateId) : m_template(templateId) {}

Dialog::~Dialog()
{
    if (m_hwnd && IsWindow(m_hwnd)) {
        SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
        DestroyWindow(m_hwnd);
    }
    for (auto& entry : m_links)
        delete entry.second;
}

bool Dialog::create(HWND parent)
{
    m_modal = false;
    HWND made = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_template), parent,
                                   &Dialog::dialogProc, reinterpret_cast<LPARAM>(this));
    return made != nullptr;
}

INT_PTR Dialog::doModal(HWND parent)
{
    m_modal = true;
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_template), parent,
                           &Dialog::dialogProc, reinterpret_cast<LPARAM>(this));
}

void Dialog::endDialog(INT_PTR result)
{
    if (m_hwnd && m_modal)
        EndDialog(m_hwnd, result);
}

void Dialog::destroy()
{
    if (m_hwnd && IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
}

void Dialog::setItemText(int id, const std::wstring& text)
{
    SetDlgItemTextW(m_hwnd, id, text.c_str());
}

std::wstring Dialog::itemText(int id) const
{
    HWND control = item(id);
    if (!control)
        return std::wstring();
    int length = GetWindowTextLengthW(control);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(control, buffer.data(), length + 1);
    return std::wstring(buffer.data());
}

void Dialog::showItem(int id, bool show)
{
    if (HWND control = item(id))
        ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

void Dialog::enableItem(int id, bool enable)
{
    if (HWND control = item(id))
        EnableWindow(control, enable ? TRUE : FALSE);
}

bool Dialog::isItemVisible(int id) const
{
    HWND control = item(id);
    return control && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool Dialog::isItemEnabled(int id) const
{
    HWND control = item(id);
    return control && IsWindowEnabled(control);
}

CXHyperLink& Dialog::addLink(int id)
{
    auto it = m_links.find(id);
    if (it != m_links.end())
        return *it->second;
    CXHyperLink* made = new CXHyperLink;
    m_links[id] = made;
    if (m_hwnd)
        made->attach(item(id));
    return *made;
}

CXHyperLink* Dialog::link(int id)
{
    auto it = m_links.find(id);
    return it == m_links.end() ? nullptr : it->second;
}

void Dialog::staticColours(int id, COLORREF& text, HBRUSH& background) const
{
    text = Skin::Text;
    background = Skin::pageBrush();
}

void Dialog::paintBackground(HDC dc, const RECT& client)
{
    FillRect(dc, &client, Skin::pageBrush());
}

INT_PTR Dialog::handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    handled = true;
    switch (message) {
    case WM_INITDIALOG: {
        for (auto& entry : m_links)
            entry.second->attach(item(entry.first));
        return onInitDialog() ? TRUE : FALSE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (CXHyperLink* l = link(id)) {
            if (code == STN_CLICKED || code == STN_DBLCLK) {
                l->clicked(m_hwnd, id);
                return TRUE;
            }
        }
        onCommand(id, code);
        return TRUE;
    }
    case WM_TIMER:
        onTimer(wParam);
        return TRUE;
    case WM_CLOSE:
        onClose();
        return TRUE;
    case WM_DESTROY:
        onDestroy();
        handled = false;
        return FALSE;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(m_hwnd, &client);
        paintBackground(reinterpret_cast<HDC>(wParam), client);
        return TRUE;
    }
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(Skin::pageBrush());
    case WM_CTLCOLORSTATIC: {
        HWND control = reinterpret_cast<HWND>(lParam);
        int id = GetDlgCtrlID(control);
        COLORREF text = Skin::Text;
        HBRUSH background = Skin::pageBrush();
        staticColours(id, text, background);
        if (link(id))
            text = Skin::LinkText;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, text);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(background);
    }
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw->CtlType == ODT_BUTTON) {
            Skin::drawButton(*draw, buttonKind(static_cast<int>(draw->CtlID)),
                             buttonPicture(static_cast<int>(draw->CtlID)));
            return TRUE;
        }
        break;
    }
    default:
        break;
    }
    INT_PTR result = 0;
    if (onMessage(message, wParam, lParam, result))
        return result;
    handled = false;
    return FALSE;
}

INT_PTR CALLBACK Dialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->m_hwnd = window;
        SetWindowLongPtrW(window, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!self)
        return FALSE;
    INT_PTR result = FALSE;
    bool handled = false;
    try {
        result = self->handle(message, wParam, lParam, handled);
    } catch (const Exception& e) {
        Event event(1190301, &e, L"Unexpected Exception in window handler",
                    TC_AT(L"Dialog::dialogProc"));
        event.addDetails(L"Message", static_cast<long long>(message));
        Logger::Log(event);
        handled = true;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->m_hwnd = nullptr;
    }
    if (message == WM_INITDIALOG)
        return result;
    return handled ? result : FALSE;
}
