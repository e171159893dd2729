#pragma once
#include <map>
#include <string>

#include "base/win32/WindowsSupport.h"
#include "client/win32/Skin.h"

class CXHyperLink;

// A dialog from a template in the program's resources, with virtual
// handlers. The dialog procedure finds the object through the window (stored
// at WM_INITDIALOG) and calls the handlers inside a try block: an exception
// never leaves a window procedure, it is logged (1190301) and the message
// counts as handled. Pages are white and the owner-drawn buttons take the
// skin's look.
class Dialog {
public:
    explicit Dialog(int templateId);
    // Destroys the window if it still exists.
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // A modeless window; false when the template cannot be made into one.
    bool create(HWND parent);
    // A modal one; the result given to endDialog, -1 on failure.
    INT_PTR doModal(HWND parent);
    void endDialog(INT_PTR result);
    void destroy();

    HWND hwnd() const { return m_hwnd; }
    int templateId() const { return m_template; }
    HWND item(int id) const { return GetDlgItem(m_hwnd, id); }
    void setItemText(int id, const std::wstring& text);
    std::wstring itemText(int id) const;
    void showItem(int id, bool show);
    void enableItem(int id, bool enable);
    bool isItemVisible(int id) const;
    bool isItemEnabled(int id) const;
    bool isVisible() const { return m_hwnd && IsWindowVisible(m_hwnd); }

    // A static control of this dialog drawn as a link (owned by the dialog).
    CXHyperLink& addLink(int id);
    CXHyperLink* link(int id);

protected:
    virtual bool onInitDialog() { return true; }
    virtual void onCommand(int id, int code) {}
    virtual void onTimer(UINT_PTR id) {}
    virtual void onClose() { destroy(); }
    virtual void onDestroy() {}
    // Any other message; true when handled, with the result to return.
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
    {
        return false;
    }
    // How an owner-drawn button of this dialog looks.
    virtual Skin::ButtonKind buttonKind(int id) const { return Skin::Secondary; }
    virtual HBITMAP buttonPicture(int id) const { return nullptr; }
    // Colours of a static control: text, and the brush behind it.
    virtual void staticColours(int id, COLORREF& text, HBRUSH& background) const;
    // Paints the page behind the controls; white by default.
    virtual void paintBackground(HDC dc, const RECT& client);

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    int m_template;
    HWND m_hwnd = nullptr;
    bool m_modal = false;
    std::map<int, CXHyperLink*> m_links;
};
