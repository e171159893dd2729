#pragma once
#include <string>

#include "client/win32/CChildDialog.h"

// View 3: the application in the foreground and its two context lines,
// refreshed every 500 ms while the view lives.
class CDlgChildCurrentStatus : public CChildDialog {
public:
    explicit CDlgChildCurrentStatus(ClientOperations& client);

    // Display mode: idle 1, at a meeting 2, personal time 4, on the phone 3,
    // else 0.
    int displayMode() const;
    void refresh();

protected:
    bool onInitDialog() override;
    void onTimer(UINT_PTR id) override;
    void onDestroy() override;

private:
    void showActivity(const std::wstring& name, const std::wstring& line1,
                      const std::wstring& line2, HICON icon);

    std::wstring m_name, m_line1, m_line2;
    bool m_shown = false;
};
