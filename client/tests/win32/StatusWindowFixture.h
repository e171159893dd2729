#pragma once
// The fixture of the status window's tests: the window of
// ClientWindowFixture.h with helpers to sign in and to read the combo boxes
// and timed views.
#include "client/win32/CDlgChildCurrentStatusTimed.h"
#include "client/win32/ClientResources.h"
#include "win32/ClientWindowFixture.h"

namespace clienttest {

using Status = TavelinSessionDetails::ConnectionStatus;
using Error = TavelinSessionDetails::ConnectionError;

class StatusWindowTest : public ClientWindowTest {
protected:
    HWND header(int id) { return GetDlgItem(window->hwnd(), id); }
    // Signs in as the fake's user and lets the connection report it.
    void connected(const std::wstring& user = L"ann")
    {
        client.session().setUserName(user);
        client.session().setUserPassword(L"pw");
        client.session().setUserID(7);
        client.connect(Status::Connected);
        update(1);
    }
    // Types a user name and password into the sign-in form of a view (1 or
    // 2) and presses "Sign In".
    void signIn(int number, const wchar_t* user, const wchar_t* password)
    {
        SetWindowTextW(control(number, IDC_USERNAME), user);
        SetWindowTextW(control(number, IDC_PASSWORD), password);
        click(control(number, IDC_SIGNIN));
    }
    int selectedIndex(HWND combo)
    {
        return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    }
    std::wstring entry(HWND combo, int index)
    {
        wchar_t text[64] = L"";
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(text));
        return text;
    }
    int entries(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)); }
    CDlgChildCurrentStatusTimed& timed(int number)
    {
        return static_cast<CDlgChildCurrentStatusTimed&>(view(number));
    }
};

} // namespace clienttest
