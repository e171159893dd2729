#pragma once
#include <string>

#include "client/win32/Dialog.h"

// The about box: the program's icon, its version and the maker's web site.
class CAboutDlg : public Dialog {
public:
    explicit CAboutDlg(const std::wstring& version);

protected:
    bool onInitDialog() override;
    void onCommand(int id, int code) override;
    void onClose() override;

private:
    std::wstring m_version;
};
