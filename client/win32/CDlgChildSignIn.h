#pragma once
#include "client/win32/CChildDialog.h"

// Views 1 and 2: user name and password. View 2 (switch user) also offers
// "Cancel"; view 1 centres "Sign In" alone.
class CDlgChildSignIn : public CChildDialog {
public:
    CDlgChildSignIn(ClientOperations& client, bool switchUser);

    void onSystemInfoUpdate() override;
    void onConnectionStatusChange(int status) override;

    std::wstring userName() const { return itemText(1005); }
    std::wstring password() const { return itemText(1006); }
    void setUserName(const std::wstring& name) { setItemText(1005, name); }
    bool isSwitchUser() const { return m_switchUser; }

protected:
    bool onInitDialog() override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    bool m_switchUser;
};
