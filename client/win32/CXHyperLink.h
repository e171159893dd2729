#pragma once
#include <functional>
#include <string>

#include "base/win32/WindowsSupport.h"

// A static text control drawn as a link (underlined, in the link colour,
// with the hand cursor) that opens its own address when clicked, or, when
// it reports clicks, tells its dialog with "WM_XHYPERLINK_CLICKED" (the
// control id as wParam) so the dialog can give it a fresh address first.
class CXHyperLink {
public:
    CXHyperLink() = default;
    ~CXHyperLink();
    CXHyperLink(const CXHyperLink&) = delete;
    CXHyperLink& operator=(const CXHyperLink&) = delete;

    void attach(HWND control);
    HWND control() const { return m_control; }
    void setAddress(const std::wstring& address) { m_address = address; }
    const std::wstring& address() const { return m_address; }
    void setReportsClicks(bool reports) { m_reportsClicks = reports; }
    // Called by the dialog when the control is clicked.
    void clicked(HWND dialog, int id);

    // Opens an address with the shell; on failure falls back to the command
    // registered for ".htm" files. Failures are logged (1190101 to 1190104),
    // never shown. An empty address does nothing.
    static void GotoURL(const std::wstring& address, int showCommand);

    // Where addresses open: GotoURL unless a test puts a recorder here.
    static void setOpener(std::function<void(const std::wstring&, int)> opener);
    static void open(const std::wstring& address, int showCommand);

    // The ".htm" command cut before its placeholder, a space and the address
    // ("\"C:\b.exe\" \"%1\"" gives "\"C:\b.exe\" " + address).
    static std::wstring fallbackCommand(const std::wstring& registered,
                                        const std::wstring& address);

private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    HWND m_control = nullptr;
    std::wstring m_address;
    bool m_reportsClicks = false;
};
