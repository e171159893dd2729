#pragma once
#include "client/win32/CChildDialog.h"

// View 7: the three declared states as tiles and the way to the current
// activity. Personal time is offered only when the profile allows it.
class CDlgChildChangeStatus : public CChildDialog {
public:
    explicit CDlgChildChangeStatus(ClientOperations& client);
    ~CDlgChildChangeStatus() override;

    void onViewShown() override;
    void onClientProfileChange() override { onViewShown(); }

protected:
    bool onInitDialog() override;
    Skin::ButtonKind buttonKind(int id) const override;
    HBITMAP buttonPicture(int id) const override;

private:
    HWND m_tips = nullptr;
    HBITMAP m_meeting = nullptr, m_phone = nullptr, m_private = nullptr;
};
